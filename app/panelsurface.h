#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <future>

// The window's surface: a picture drawn unscaled from its top-left corner on plain blue.
// The picture is decoded on a worker thread while the rest of the window is built, only as far
// as the window shows it, and in the density variant (name@2x, name@3x) the screen asks for.
class PanelSurface : public QWidget
{
    Q_OBJECT

public:
    PanelSurface(const QString &picturePath, const QSize &shownSize, QWidget *parent = nullptr);
    ~PanelSurface() override;

    // The picture's file for a device pixel ratio: the nearest variant at or above it that
    // exists, else the nearest below it.
    static QString variantFor(const QString &picturePath, qreal devicePixelRatio);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Picture
    {
        QImage image;
        qreal decodedFor = 0;
        bool whole = false; // nothing of the picture was left out
    };

    // Reads what `shown` (in device-independent pixels) covers of the picture for `ratio`.
    static Picture decode(const QString &picturePath, QSize shown, qreal ratio);
    const QImage &picture();

    QString m_picturePath;
    std::future<Picture> m_decoding;
    Picture m_picture;
    QSize m_pictureCovers;
};
