#include "app/ColourButton.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>

namespace trimlark {

namespace {

// A swatch of the colour; a transparent one shows as a chequerboard.
QIcon Swatch(const QString& colour)
{
    QPixmap pixmap(16, 16);
    QPainter painter(&pixmap);
    if (colour == QLatin1String("transparent")) {
        pixmap.fill(Qt::white);
        painter.fillRect(0, 0, 8, 8, Qt::lightGray);
        painter.fillRect(8, 8, 8, 8, Qt::lightGray);
    } else {
        pixmap.fill(QColor::fromString(colour));
    }
    painter.setPen(Qt::gray);
    painter.drawRect(0, 0, 15, 15);
    return QIcon(pixmap);
}

} // namespace

ColourButton::ColourButton(QWidget* parent) : QPushButton(parent)
{
    auto* menu = new QMenu(this);
    const std::pair<const char*, const char*> named[] = {
        {"White", "#ffffff"}, {"Black", "#000000"}, {"Grey", "#808080"}};
    for (const auto& [title, colour] : named) {
        const QString value = QLatin1String(colour);
        menu->addAction(Swatch(value), tr(title), this, [this, value] { Pick(value); });
    }
    transparent_ = menu->addAction(Swatch(QStringLiteral("transparent")), tr("Transparent"), this,
                                   [this] { Pick(QStringLiteral("transparent")); });
    menu->addSeparator();
    menu->addAction(tr("Other Colour..."), this, [this] {
        if (!chooser_)
            return;
        if (const auto chosen = chooser_(colour_))
            Pick(*chosen);
    });
    setMenu(menu);
    SetColour(QStringLiteral("#ffffff"));
}

void ColourButton::SetColour(const QString& colour)
{
    colour_ = colour;
    setIcon(Swatch(colour));
    setText(colour == QLatin1String("transparent") ? tr("Transparent") : colour);
}

void ColourButton::SetTransparentOffered(bool offered)
{
    transparent_->setVisible(offered);
}

void ColourButton::Pick(const QString& colour)
{
    SetColour(colour);
    Q_EMIT colourChosen();
}

} // namespace trimlark
