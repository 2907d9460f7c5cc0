// corvane-artgen OUTDIR [ICONDIR]: writes the panel's background, key faces and icon
// into OUTDIR, and with ICONDIR the launchers' icons into the hicolor tree under it. Needs a QGuiApplication so the font database is available;
// run with QT_QPA_PLATFORM=offscreen on a machine without a display.

#include "tools/artgen/artworkpainter.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QSet>
#include <QString>
#include <QSvgGenerator>

#include <algorithm>
#include <cstdio>

namespace {

bool save(const QImage &image, const QDir &dir, const QString &name, const char *format,
          int quality)
{
    const QString path = dir.filePath(name);
    if (!image.save(path, format, quality)) {
        std::fprintf(stderr, "corvane-artgen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Qt's default ARGB -> Indexed8 conversion always quantises to a fixed cube
// with dithering, which leaves noise all over a 32 px icon. When the picture
// has few enough colours, hand it its own exact palette instead.
QImage toIndexed(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            colours.insert(line[x]);
    }
    if (colours.size() > 256)
        return argb.convertToFormat(QImage::Format_Indexed8);
    // Sorted so that regenerating yields a byte-identical file.
    QList<QRgb> palette(colours.begin(), colours.end());
    std::sort(palette.begin(), palette.end());
    return argb.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
}

// The sizes launchers and software centres ask for, and the scalable original.
bool saveLauncherIcons(const QDir &hicolor)
{
    bool ok = true;
    for (int size : {48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        ok &= hicolor.mkpath(folder) &&
              save(ArtworkPainter::launcherIcon(size), QDir(hicolor.filePath(folder)),
                   QStringLiteral("corvane-panel.png"), "PNG", -1);
    }
    const QString scalable = QStringLiteral("scalable/apps");
    if (!hicolor.mkpath(scalable))
        return false;
    QSvgGenerator svg;
    svg.setFileName(hicolor.filePath(scalable + QStringLiteral("/corvane-panel.svg")));
    svg.setSize(QSize(ArtworkPainter::IconSize, ArtworkPainter::IconSize));
    svg.setViewBox(QRect(0, 0, ArtworkPainter::IconSize, ArtworkPainter::IconSize));
    svg.setTitle(QStringLiteral("Corvane panel"));
    svg.setDescription(QStringLiteral("A pressure gauge"));
    QPainter painter;
    if (!painter.begin(&svg)) {
        std::fprintf(stderr, "corvane-artgen: cannot write %s\n", qPrintable(svg.fileName()));
        return false;
    }
    ArtworkPainter::drawIcon(painter);
    return ok && painter.end();
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: corvane-artgen OUTDIR [ICONDIR]\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "corvane-artgen: cannot create %s\n", argv[1]);
        return 1;
    }

    // Qt picks name@2x.jpg / name@3x.jpg on high-density screens by itself.
    bool ok = true;
    for (int scale = 1; scale <= 3; ++scale) {
        const ArtworkPainter painter(scale);
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        const auto name = [&suffix](const QString &stem, const char *extension) {
            return stem + suffix + QLatin1Char('.') + QLatin1String(extension);
        };
        ok &=
            save(painter.background(), out, name(QStringLiteral("background"), "jpg"), "JPEG", 92);

        for (int digit = 0; digit <= 9; ++digit) {
            const QString label = QString::number(digit);
            ok &= save(painter.textKeyFace(label), out, name(QStringLiteral("key_") + label, "jpg"),
                       "JPEG", 95);
        }
        ok &= save(painter.arrowKeyFace(ArtworkPainter::Arrow::Up), out,
                   name(QStringLiteral("key_up"), "jpg"), "JPEG", 95);
        ok &= save(painter.arrowKeyFace(ArtworkPainter::Arrow::Down), out,
                   name(QStringLiteral("key_down"), "jpg"), "JPEG", 95);
        const struct
        {
            const char *stem;
            const char *label;
        } lettered[] = {{"key_l", "L"}, {"key_p", "P"}, {"key_run", "RUN"}, {"key_stop", "STOP"}};
        for (const auto &key : lettered)
            ok &= save(painter.textKeyFace(QString::fromLatin1(key.label)), out,
                       name(QString::fromLatin1(key.stem), "jpg"), "JPEG", 95);

        // A palette PNG keeps the icon small and loadable by old resource tools.
        ok &= save(toIndexed(painter.icon()), out, name(QStringLiteral("icon"), "png"), "PNG", -1);
    }

    if (argc == 3)
        ok &= saveLauncherIcons(QDir(QString::fromLocal8Bit(argv[2])));
    return ok ? 0 : 1;
}
