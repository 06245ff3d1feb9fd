#include "app/controls/skin_image.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QRegularExpression>
#include <QWidget>

#include "app/skin_ui.h"

namespace vq::app {

namespace {

constexpr const char* kBkColorProperty = "bkcolor";
constexpr const char* kBkImageProperty = "bkimage";

// Replaces (or appends) the background-color declaration of a widget's own style sheet, keeping
// every other declaration the skin put there.
QString WithBackground(const QString& sheet, const QString& colour) {
    static const QRegularExpression declaration(QStringLiteral("background-color\\s*:\\s*[^;}]*;?"),
                                                QRegularExpression::CaseInsensitiveOption);
    QString result = sheet;
    const QString replacement = QStringLiteral("background-color: %1;").arg(colour);
    if (result.contains(declaration)) {
        result.replace(declaration, replacement);
    } else {
        if (!result.isEmpty() && !result.trimmed().endsWith(QLatin1Char(';'))) {
            result += QLatin1Char(';');
        }
        if (!result.isEmpty()) result += QLatin1Char(' ');
        result += replacement;
    }
    return result;
}

}  // namespace

QString ImageStringFile(const QString& imageString) {
    static const QRegularExpression file(QStringLiteral("file\\s*=\\s*'([^']*)'"));
    const QRegularExpressionMatch m = file.match(imageString);
    if (m.hasMatch()) return m.captured(1).trimmed();
    if (imageString.contains(QLatin1Char('='))) return QString();
    return imageString.trimmed();
}

QString ResolveSkinImage(const QString& name) {
    if (name.isEmpty()) return QString();
    const auto resolve = [](const QString& n) -> QString {
        const QFileInfo given(n);
        if (given.isAbsolute()) return given.isFile() ? given.absoluteFilePath() : QString();
        const SkinUi* skin = SkinUi::Current();
        return skin != nullptr ? skin->ResolveImage(n) : QString();
    };
    QString path = resolve(name);
    if (path.isEmpty() && name.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
        path = resolve(name.chopped(4) + QLatin1String(".svg"));
    }
    return path;
}

QPixmap LoadSkinImage(const QString& imageString) {
    const QString path = ResolveSkinImage(ImageStringFile(imageString));
    if (path.isEmpty()) return QPixmap();
    return QPixmap(path);
}

void SetBkImage(QWidget* control, const QString& imageString) {
    if (control == nullptr) return;
    control->setProperty(kBkImageProperty, imageString);
    const QPixmap pixmap = imageString.isEmpty() ? QPixmap() : LoadSkinImage(imageString);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setPixmap(pixmap);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setIcon(pixmap.isNull() ? QIcon() : QIcon(pixmap));
    }
    control->update();
}

QString BkImage(const QWidget* control) {
    if (control == nullptr) return QString();
    return control->property(kBkImageProperty).toString();
}

void SetBkColor(QWidget* control, QRgb argb) {
    if (control == nullptr) return;
    control->setProperty(kBkColorProperty, static_cast<uint>(argb));
    const QColor colour = QColor::fromRgba(argb);
    const QString text = colour.alpha() == 255 ? colour.name(QColor::HexRgb)
                                               : QStringLiteral("rgba(%1, %2, %3, %4)")
                                                     .arg(colour.red())
                                                     .arg(colour.green())
                                                     .arg(colour.blue())
                                                     .arg(colour.alpha());
    control->setStyleSheet(WithBackground(control->styleSheet(), text));
}

QRgb BkColor(const QWidget* control) {
    if (control == nullptr) return 0;
    const QVariant stored = control->property(kBkColorProperty);
    if (stored.isValid()) return static_cast<QRgb>(stored.toUInt());
    static const QRegularExpression declaration(QStringLiteral("background-color\\s*:\\s*([^;}]*)"),
                                                QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = declaration.match(control->styleSheet());
    if (!m.hasMatch()) return 0;
    const QColor colour = QColor::fromString(m.captured(1).trimmed());
    return colour.isValid() ? colour.rgba() : 0;
}

}  // namespace vq::app
