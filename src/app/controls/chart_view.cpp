#include "app/controls/chart_view.h"

#include <QPainter>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

#include "app/controls/skin_image.h"

namespace vq::app {

CChartViewUI::CChartViewUI(QWidget* parent) : QWidget(parent) {}

void CChartViewUI::Add(const QString& name, double value) {
    items_.push_back({name, value});
    update();
}

void CChartViewUI::Clear() {
    items_.clear();
    update();
}

QString CChartViewUI::View() const {
    return kind_ == Kind::Pie ? QStringLiteral("pie") : QStringLiteral("histpgram");
}

void CChartViewUI::SetView(const QString& view) {
    const QString v = view.trimmed().toLower();
    if (v == QLatin1String("pie")) {
        kind_ = Kind::Pie;
    } else if (v == QLatin1String("histpgram") || v == QLatin1String("histogram") ||
               v == QLatin1String("bar")) {
        kind_ = Kind::Bars;
    }
    update();
}

void CChartViewUI::SetShadowImage(const QString& image) {
    shadowImage_ = image;
    shadow_ = LoadSkinImage(image);
    update();
}

void CChartViewUI::SetShadowImageHeight(int h) {
    shadowHeight_ = std::max(0, h);
    update();
}

void CChartViewUI::SetPillarImage(const QString& image) {
    pillarImage_ = image;
    pillar_ = LoadSkinImage(image);
    update();
}

void CChartViewUI::SetPillarImageWidth(int w) {
    pillarWidth_ = std::max(0, w);
    update();
}

void CChartViewUI::SetShowHtml(bool on) {
    showHtml_ = on;
    update();
}

void CChartViewUI::SetShowText(bool on) {
    showText_ = on;
    update();
}

std::vector<double> CChartViewUI::PieSpans() const {
    double total = 0;
    for (const Item& it : items_)
        total += std::max(0.0, it.value);
    std::vector<double> spans;
    spans.reserve(items_.size());
    for (const Item& it : items_) {
        spans.push_back(total > 0 ? std::max(0.0, it.value) * 360.0 / total : 0.0);
    }
    return spans;
}

QColor CChartViewUI::ItemColour(int i) {
    static const QRgb colours[] = {0xFF19B4E8, 0xFFF2A93B, 0xFF6CD56B, 0xFFE8555A,
                                   0xFFA77BF3, 0xFF3DD6C4, 0xFFF37BC1, 0xFFC9D16B};
    return QColor::fromRgba(colours[static_cast<std::size_t>(i) % std::size(colours)]);
}

void CChartViewUI::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (items_.empty()) return;
    if (kind_ == Kind::Pie) {
        PaintPie(p);
    } else {
        PaintBars(p);
    }
}

void CChartViewUI::PaintPie(QPainter& p) {
    const std::vector<double> spans = PieSpans();
    const int side = std::min(width(), height()) - 8;
    if (side <= 0) return;
    const QRectF r((showText_ ? 4 : (width() - side) / 2.0), (height() - side) / 2.0, side, side);
    double start = 90.0;
    p.setPen(QPen(palette().window().color(), 1.5));
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (spans[i] <= 0) continue;
        p.setBrush(ItemColour(static_cast<int>(i)));
        p.drawPie(r, static_cast<int>(std::lround(start * 16)),
                  -static_cast<int>(std::lround(spans[i] * 16)));
        start -= spans[i];
    }
    if (!showText_) return;
    // Legend to the right of the pie.
    const int x = static_cast<int>(r.right()) + 12;
    int y = static_cast<int>(r.top()) + 4;
    const int line = fontMetrics().height() + 4;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(ItemColour(static_cast<int>(i)));
        p.drawRoundedRect(QRectF(x, y + 3, 10, 10), 2, 2);
        p.setPen(palette().windowText().color());
        p.drawText(x + 16, y + fontMetrics().ascent() + 1,
                   QStringLiteral("%1  %2").arg(items_[i].name).arg(items_[i].value));
        y += line;
    }
}

void CChartViewUI::PaintBars(QPainter& p) {
    double top = 0;
    for (const Item& it : items_)
        top = std::max(top, it.value);
    if (top <= 0) top = 1;
    const int n = static_cast<int>(items_.size());
    const int textH = showText_ ? fontMetrics().height() + 2 : 0;
    const int baseY = height() - textH - shadowHeight_;
    const double slot = static_cast<double>(width()) / n;
    const double barW = pillarWidth_ > 0 ? pillarWidth_ : std::max(4.0, slot * 0.55);
    for (int i = 0; i < n; ++i) {
        const double v = std::max(0.0, items_[static_cast<std::size_t>(i)].value);
        const double h = v / top * std::max(0, baseY - textH - 2);
        const QRectF bar(slot * i + (slot - barW) / 2.0, baseY - h, barW, h);
        if (!pillar_.isNull()) {
            p.drawPixmap(bar, pillar_, QRectF(pillar_.rect()));
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(ItemColour(i));
            p.drawRoundedRect(bar, 2, 2);
        }
        if (!shadow_.isNull() && shadowHeight_ > 0) {
            p.drawPixmap(QRectF(bar.left(), baseY, barW, shadowHeight_), shadow_,
                         QRectF(shadow_.rect()));
        }
        if (!showText_) continue;
        p.setPen(palette().windowText().color());
        const QString value = QString::number(items_[static_cast<std::size_t>(i)].value);
        p.drawText(QRectF(slot * i, bar.top() - textH, slot, textH), Qt::AlignCenter, value);
        QString name = items_[static_cast<std::size_t>(i)].name;
        if (showHtml_) {
            // Names may carry simple markup; draw them as plain text.
            QTextDocument doc;
            doc.setHtml(name);
            name = doc.toPlainText();
        }
        p.drawText(QRectF(slot * i, height() - textH, slot, textH), Qt::AlignCenter, name);
    }
}

}  // namespace vq::app
