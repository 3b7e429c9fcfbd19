#include "GraphImage.h"

#include "PlotPainter.h"

#include <QPainter>

QImage GraphImage::render(const GraphPicture& picture, const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(96, 96, 96));
    QPainter painter(&image);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(qBound(9, size.height() / 40, 16));
    // Plain pixels keep the picture to a few colours, for a small and quick PNG.
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int line = metrics.height();
    const GraphLabels labels = picture.labels.value_or(
        GraphLabels{QStringLiteral("Start"), QStringLiteral("Finish"), QStringLiteral("0"),
                    QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                    QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                    QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")});
    const QString maxima[5] = {labels.voltsMax, labels.ampsMax, labels.wattsMax, labels.rpmMax,
                               labels.windMax};
    const QString minima[5] = {labels.voltsMin, labels.ampsMin, labels.wattsMin, labels.rpmMin,
                               labels.windMin};
    int labelWidth = 0;
    for (int i = 0; i < 5; ++i)
        labelWidth = qMax(labelWidth, qMax(metrics.horizontalAdvance(maxima[i]),
                                           metrics.horizontalAdvance(minima[i])));

    // The plot leaves a line above it for the times and a column on the right for the labels.
    const int gap = line / 2;
    const QRect plot(gap, line + gap, qMax(1, size.width() - labelWidth - 3 * gap),
                     qMax(1, size.height() - line - 2 * gap));
    painter.save();
    painter.translate(plot.topLeft());
    painter.setClipRect(QRect(QPoint(0, 0), plot.size()));
    PlotPainter::paint(painter, picture.plot, plot.size());
    painter.restore();

    painter.setPen(Qt::white);
    painter.drawText(QRect(plot.left(), 0, plot.width(), line + gap), Qt::AlignLeft | Qt::AlignVCenter,
                     labels.start);
    painter.drawText(QRect(plot.left(), 0, plot.width(), line + gap), Qt::AlignRight | Qt::AlignVCenter,
                     labels.finish);
    const int x = plot.right() + 2 * gap;
    for (int i = 0; i < 5; ++i) {
        painter.setPen(QColor::fromRgb(LabelColours[i]));
        painter.drawText(x, plot.top() + line * (i + 1), maxima[i]);
        // Minima stack upwards from the bottom in reverse, wind speed on top.
        painter.drawText(x, plot.bottom() - line * i, minima[i]);
    }
    return image;
}
