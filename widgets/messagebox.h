#pragma once

#include <QList>
#include <QCoreApplication>
#include <QMessageBox>
#include <QObject>
#include <QPair>
#include <QString>

// Every message box of the client goes through here. The boxes are Qt's standard ones, but they keep dark text on a
// light background whatever style sheet their window carries (a window's "QLabel{color: white}" would otherwise
// cascade into them), open in front of their window, stay-on-top windows included, and take the keyboard.
namespace msgbox {

// Texts are shown as plain text, and cut with an ellipsis beyond this many characters.
constexpr int kMaxTextChars = 600;

// The titles of the client's boxes, named for what the box is about; windows pass the name, never the text.
enum class Title {
    Tip,            // 温馨提示
    Info,           // 提示信息
    Error,          // 错误提示
    Action,         // 操作提示
    VersionCheck,   // 版本检测
    VersionUpdate,  // 版本更新
    Quit,           // 退出程序
};
// The text a title shows.
QString titleText(Title title);

using Buttons = QList<QPair<QMessageBox::StandardButton, QString>>;
// The usual yes / no answers in the client's words, with Y and N for keys.
Buttons yesNo();

// What a box asks, as a test sees it.
struct Request {
    QWidget* parent = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;  // what Return presses
    QMessageBox::StandardButtons clickOnly = QMessageBox::NoButton;     // see ask()
};

QMessageBox::StandardButton information(QWidget* parent, Title title, const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
QMessageBox::StandardButton warning(QWidget* parent, Title title, const QString& text,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
QMessageBox::StandardButton critical(QWidget* parent, Title title, const QString& text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                     QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
QMessageBox::StandardButton question(QWidget* parent, Title title, const QString& text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
// A box whose buttons carry their own texts (for instance 更新 / 不更新); returns the standard button pressed.
// `clickOnly` names the buttons no stray key can press (they never take the focus, are never the default, and are
// off for the first kDeliberateMs after the box opens, so keys already on their way cannot reach them; their letter
// works once they are on): for answers that only a deliberate hand may give. With click-only buttons and no default,
// no button takes the focus at all: Return and Space press nothing, and Esc presses the Cancel button if there is one.
QMessageBox::StandardButton ask(QWidget* parent, QMessageBox::Icon icon, Title title, const QString& text,
                                const Buttons& buttons,
                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
                                QMessageBox::StandardButtons clickOnly = QMessageBox::NoButton);
constexpr int kDeliberateMs = 800;

// The box as it would be shown, not yet shown: for a look at how it renders. The caller owns it.
QMessageBox* create(QWidget* parent, QMessageBox::Icon icon, Title title, const QString& text,
                    QMessageBox::StandardButtons buttons = QMessageBox::Ok);
// The style sheet every box carries.
QString styleSheet();

// Answers the boxes instead of the cashier, for tests: one handed to the application (made with it as parent) sees
// what would have been asked and returns the button pressed, and no box is shown while it lives. Of several, the one
// made last answers.
class Answerer : public QObject {
    Q_OBJECT
public:
    explicit Answerer(QCoreApplication* application);
    virtual QMessageBox::StandardButton answer(const Request& request) = 0;
};

}  // namespace msgbox
