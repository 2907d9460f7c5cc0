#pragma once

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs a poppler-utils tool and returns what it printed; on failure, `error` says why.
inline QByteArray runPoppler(const QString &tool, const QStringList &arguments, QString &error)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForStarted()) {
        error = tool + QStringLiteral(" could not be started (install poppler-utils): ") +
                process.errorString();
        return {};
    }
    process.waitForFinished(60000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        error = tool + QStringLiteral(" failed: ") +
                QString::fromLocal8Bit(process.readAllStandardError());
        return {};
    }
    return process.readAllStandardOutput();
}

// Pages of a PDF file as pdfinfo counts them; -1 with `error` set when it cannot tell.
inline int pdfPageCount(const QString &path, QString &error)
{
    const QByteArray info = runPoppler(QStringLiteral("pdfinfo"), {path}, error);
    const QRegularExpressionMatch pages =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(info));
    if (error.isEmpty() && !pages.hasMatch())
        error = QStringLiteral("pdfinfo shows no page count for ") + path;
    return error.isEmpty() ? pages.captured(1).toInt() : -1;
}

// Each page of a PDF rendered in grey at 36 dots per inch into `workDir`; empty with `error`
// set when it cannot be rendered.
inline QList<QImage> renderPdfPages(const QString &path, const QString &workDir, QString &error)
{
    const QString prefix = QFileInfo(path).completeBaseName();
    runPoppler(QStringLiteral("pdftoppm"),
               {"-r", "36", "-gray", "-png", path, QDir(workDir).filePath(prefix)}, error);
    QList<QImage> pages;
    // pdftoppm numbers the pages with as many digits as the last one needs, so names sort.
    const QStringList files = QDir(workDir).entryList({prefix + "-*.png"}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        pages.append(QImage(QDir(workDir).filePath(file)));
    if (error.isEmpty() && pages.isEmpty())
        error = QStringLiteral("pdftoppm rendered no page of ") + path;
    return pages;
}

// The pages of several PDF files, in order; stops at the first file that cannot be rendered.
inline QList<QImage> renderPdfFiles(const QStringList &paths, QString &error)
{
    const QTemporaryDir workDir;
    QList<QImage> pages;
    for (qsizetype i = 0; i < paths.size() && error.isEmpty(); ++i) {
        const QString fileDir = workDir.filePath(QString::number(i));
        QDir().mkpath(fileDir);
        pages += renderPdfPages(paths.at(i), fileDir, error);
    }
    return pages;
}

// Dark pixels of a rendered page in its top-left corner (top eighth, left third) and elsewhere.
struct PageInk
{
    int topLeft = 0;
    int elsewhere = 0;
};

inline PageInk pageInk(const QImage &page)
{
    PageInk ink;
    const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            if (row[x] >= 128)
                continue;
            if (x < grey.width() / 3 && y < grey.height() / 8)
                ++ink.topLeft;
            else
                ++ink.elsewhere;
        }
    }
    return ink;
}
