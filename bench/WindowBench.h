// What the window benchmarks share: a platform that answers nothing, and photo-like JPEGs made once.
#pragma once

#include "app/Platform.h"

#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>

namespace trimlark::bench {

// Answers nothing: the benchmarks show no messages or panels.
class QuietPlatform : public Platform
{
public:
    void SetDialogParent(QWidget*) override {}
    int ShowAlert(const Alert&) override { return 0; }
    std::optional<QStringList> ChooseImageFiles(const QString&, const QStringList&) override { return std::nullopt; }
    std::optional<QString> ChooseFolder(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> ChooseProfileToSave(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> ChooseProfileToLoad(const QString&) override { return std::nullopt; }
    std::optional<QString> ChooseListToSave(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> ChooseListToOpen(const QString&) override { return std::nullopt; }
    std::optional<QString> ChooseColour(const QString&) override { return std::nullopt; }
    std::optional<QString> ReadPreference(const QString& key) override
    {
        const auto found = preferences_.find(key);
        return found == preferences_.end() ? std::nullopt : std::optional<QString>(found->second);
    }
    void WritePreference(const QString& key, const QString& value) override { preferences_[key] = value; }
    bool OpenUrl(const QUrl&) override { return true; }

private:
    std::map<QString, QString> preferences_;
};

// A photo-like JPEG of width x height at quality 90, unless the file exists: gradients, shapes and sensor-like noise
// (a camera's file holds far more detail than smooth shapes, and decoding cost follows it).
inline QString MakePhotoJpeg(const QString& path, int seed, int width, int height)
{
    if (QFile::exists(path))
        return path;
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor::fromHsv((seed * 47) % 360, 120, 220));
    sky.setColorAt(1, QColor::fromHsv((seed * 47 + 150) % 360, 160, 160));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    const double scale = width / 6000.0;
    for (int i = 0; i < 400; ++i) {
        painter.setBrush(QColor::fromHsv((i * 37 + seed * 90) % 360, 160, 220, 140));
        painter.drawEllipse(QPoint((i * 7919 + seed * 131) % width, (i * 104729 + seed * 71) % height),
                            static_cast<int>((40 + i % 200) * scale), static_cast<int>((30 + (i * 3) % 150) * scale));
    }
    painter.end();
    std::uint32_t state = 2463534242u + static_cast<std::uint32_t>(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = static_cast<int>(state % 41) - 20;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + noise, 0, 255), std::clamp(qGreen(p) + noise, 0, 255),
                           std::clamp(qBlue(p) + noise, 0, 255));
        }
    }
    if (!image.save(path, "JPEG", 90))
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return path;
}

} // namespace trimlark::bench
