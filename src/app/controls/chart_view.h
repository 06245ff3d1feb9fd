#pragma once
// A small chart for layouts: its items drawn as a pie ("view" = "pie") or as bars ("view" =
// "histpgram", the spelling layouts use). Bars may be drawn with a pillar picture and a shadow
// picture under them; "showtext" writes each item's name and value.

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <vector>

namespace vq::app {

class CChartViewUI : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString view READ View WRITE SetView)
    Q_PROPERTY(QString shadowimage READ ShadowImage WRITE SetShadowImage)
    Q_PROPERTY(int shadowimageheight READ ShadowImageHeight WRITE SetShadowImageHeight)
    Q_PROPERTY(QString pillarimage READ PillarImage WRITE SetPillarImage)
    Q_PROPERTY(int pillarimagewidth READ PillarImageWidth WRITE SetPillarImageWidth)
    Q_PROPERTY(bool showhtml READ ShowHtml WRITE SetShowHtml)
    Q_PROPERTY(bool showtext READ ShowText WRITE SetShowText)

  public:
    enum class Kind { Pie, Bars };
    struct Item {
        QString name;
        double value = 0;
    };

    explicit CChartViewUI(QWidget* parent = nullptr);

    void Add(const QString& name, double value);
    void Clear();
    const std::vector<Item>& Items() const { return items_; }
    Kind ChartKind() const { return kind_; }

    QString View() const;
    // "pie" or "histpgram" (also accepted: "histogram", "bar"); anything else leaves the kind.
    void SetView(const QString& view);
    QString ShadowImage() const { return shadowImage_; }
    void SetShadowImage(const QString& image);
    int ShadowImageHeight() const { return shadowHeight_; }
    void SetShadowImageHeight(int h);
    QString PillarImage() const { return pillarImage_; }
    void SetPillarImage(const QString& image);
    int PillarImageWidth() const { return pillarWidth_; }
    void SetPillarImageWidth(int w);
    bool ShowHtml() const { return showHtml_; }
    void SetShowHtml(bool on);
    bool ShowText() const { return showText_; }
    void SetShowText(bool on);

    // Sector angles of the pie in degrees, one per item (0 for items of no positive value).
    std::vector<double> PieSpans() const;

    QSize sizeHint() const override { return {200, 140}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void PaintPie(QPainter& p);
    void PaintBars(QPainter& p);
    static QColor ItemColour(int i);

    Kind kind_ = Kind::Pie;
    std::vector<Item> items_;
    QString shadowImage_;
    QString pillarImage_;
    QPixmap shadow_;
    QPixmap pillar_;
    int shadowHeight_ = 0;
    int pillarWidth_ = 0;
    bool showHtml_ = false;
    bool showText_ = true;
};

}  // namespace vq::app
