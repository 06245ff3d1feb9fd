#pragma once
// What the program needs of a skin, and a check of a skin folder against it.
//
// The needs are: the layout files (the resource ids of "res.xml", the page layouts, the dialog
// layouts), every control the program looks up by name with its kind (the control contract,
// kept in src/app/skin_controls.txt and built into the program), every picture the
// layouts, the style sheet and the program name, and every text id the layouts and the program
// use, in each of the three language files.

#include <QString>
#include <QStringList>

#include <vector>

class QWidget;

namespace vq::app {

// One line of the control contract: a control of a layout and its kind.
struct ControlNeed {
    QString layout;  // "main.xml", "Mouse_key.xml" ...
    QString name;    // object name, ranges already expanded
    QString kind;    // button, option, check, combo, slider, edit, list, tabs, label, picture,
                     // progress, palette, led, keybutton, widget
    QString items;   // "", "N", "id,id,...", "@ListName"
    int pages = -1;  // tabs: number of pages, -1 when not checked
    int line = 0;
};

// Parses contract text; malformed lines are reported in `errors` and skipped.
std::vector<ControlNeed> ParseControlContract(const QString& text, QStringList* errors = nullptr);
// The contract built into the program.
const std::vector<ControlNeed>& ControlContract();
QString ControlContractText();

// The kind a widget counts as, for the listing: the most specific of the contract's kinds.
QString ControlKind(const QWidget* widget);
// Whether a widget is of a kind (a checkable button is also a button, every widget a widget).
bool IsOfKind(const QWidget* widget, const QString& kind);
// Checks a control against its need; an empty result when it fits, else what is wrong.
QString CheckControl(const QWidget* widget, const ControlNeed& need);

// Layout files the program loads besides the main layout: the page layouts, the dialogs.
QStringList NeededLayoutFiles();
// Pictures the program names in its code (the ones the layouts name are read from them).
QStringList NeededCodeImages();
// Text ids the program uses in its code: messages, the key table and its choice lists, the
// button labels, the light and macro texts.
QStringList NeededCodeTextIds();
// Text ids and pictures named in a layout or menu file (its raw XML).
QStringList TextIdsInLayout(const QString& xml);
QStringList ImagesInLayout(const QString& xml);
// Pictures named by url(...) in a style sheet.
QStringList ImagesInStyleSheet(const QString& qss);
// Whether a text is written like a text id (letters and digits in words joined by "_").
bool LooksLikeTextId(const QString& text);

struct SkinCheckReport {
    QStringList missingLayouts;
    QStringList missingControls;  // "layout: name (kind)" or "layout: name: what is wrong"
    QStringList missingImages;    // "image (named by file)"
    QStringList missingTexts;     // "lan_xx.xml: id"
    QStringList faults;           // load faults of the skin loader
    bool Ok() const {
        return missingLayouts.isEmpty() && missingControls.isEmpty() && missingImages.isEmpty() &&
               missingTexts.isEmpty() && faults.isEmpty();
    }
    QStringList Lines() const;
};

// Checks a skin folder: loads every layout with the skin loader (a QApplication must exist) and
// looks for everything above.
SkinCheckReport CheckSkin(const QString& folder);

// One line per named control of every layout of a skin (the main layout with its pages, then
// each dialog layout): "layout  name  kind  class".
QStringList ListControls(const QString& folder, QStringList* faults = nullptr);

}  // namespace vq::app
