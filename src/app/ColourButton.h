#pragma once

#include <QPushButton>
#include <functional>
#include <optional>

class QAction;

namespace trimlark {

// A button that shows a colour ("#rrggbb" or "transparent") as a swatch and offers a few from its menu, and any
// other through the chooser it is given.
class ColourButton : public QPushButton
{
    Q_OBJECT

public:
    explicit ColourButton(QWidget* parent = nullptr);

    QString Colour() const { return colour_; }
    // Shows the colour; sends nothing.
    void SetColour(const QString& colour);
    // Whether "Transparent" is offered (the output keeps alpha).
    void SetTransparentOffered(bool offered);
    // Asked for "Other Colour..." with the current colour; nothing when the user cancels.
    void SetChooser(std::function<std::optional<QString>(const QString&)> chooser) { chooser_ = std::move(chooser); }

Q_SIGNALS:
    // The user picked a colour.
    void colourChosen();

private:
    void Pick(const QString& colour);

    QString colour_;
    QAction* transparent_ = nullptr;
    std::function<std::optional<QString>(const QString&)> chooser_;
};

} // namespace trimlark
