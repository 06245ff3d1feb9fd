#pragma once
// The message box: a small modal window built from the skin's message layout ("XML_MSG") with
// the controls "MessageTitle", "MessageText", "closebtn", "confirm_btn" and "cancel_btn". It
// returns 1 for "confirm_btn" and 0 for "cancel_btn" or "closebtn"; the timed variant closes
// itself with 0 after half a second. The box is centred on its parent window, also when that
// window is hidden.

#include <QDialog>
#include <QPointer>
#include <QStringList>

class QLabel;

namespace vq::app {

class CMsgWnd : public QDialog {
    Q_OBJECT
  public:
    explicit CMsgWnd(QWidget* parent);

    // Title (empty: the layout's own) and text (a text id when isResourceText is set; "%d"/"%s"
    // places are filled from `args`).
    void SetContent(const QString& title, const QString& text, bool isResourceText,
                    const QStringList& args = {});
    // Closes itself with 0 after `ms` milliseconds.
    void CloseAfter(int ms);
    // The value the box was closed with (1 confirm, 0 otherwise).
    int Result() const { return result_; }

    static constexpr int kAutoCloseMs = 500;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void OnClick(const QString& name);
    void Finish(int value);
    void BuildFallback();

    QLabel* title_ = nullptr;
    QLabel* text_ = nullptr;
    int result_ = 0;
};

// Shows a box modally; returns 1 when "confirm_btn" was pressed, else 0.
int ShowMessage(QWidget* parent, const QString& title, const QString& text, bool isResourceText,
                const QStringList& args = {});
// The same box; with autoClose it closes itself with 0 after 500 ms.
void ShowMessageTimed(bool autoClose, QWidget* parent, const QString& title, const QString& text,
                      bool isResourceText, const QStringList& args = {});

// The number of message boxes open at this moment (for guards and tests).
int OpenMessageBoxes();

}  // namespace vq::app
