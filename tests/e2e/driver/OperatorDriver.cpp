// The operator driver: a small library that the end-to-end tests load into
// OrvelConfigurator with LD_PRELOAD. When the program's QApplication starts,
// the driver connects to the test's socket, named by ORVEL_E2E_DRIVER_SOCKET
// (the driver's own variable; the program reads none), and carries out
// operator actions on the real window, on the window's thread: clicks, key
// presses, typing, picking list items, answering the file dialog. It reports
// what the operator sees: texts, list items, lamps, enabled and checked states.
//
// Each request runs in its own queued call, in arrival order, and is answered
// when it has finished. A click that opens a modal dialog is answered when the
// dialog closes; requests sent meanwhile run inside the dialog's loop.
// The line format is in Wire.h; the verbs are listed at Execute.

#include "Wire.h"

#include <ColorStatic.h>
#include <DlgItem.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

using Fields = std::vector<std::string>;

constexpr char kSocketVariable[] = "ORVEL_E2E_DRIVER_SOCKET";
// The first panel's "Доступен" box: the window that holds it is the main window.
constexpr int kMainWindowMarkId = 1000;
constexpr char kLampClassName[] = "MfcExtControl::CColorStatic";

// A request the driver cannot carry out; the test gets the text.
struct Refusal : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int IdOf(const QObject* object)
{
    return object->property(MfcExtControl::kDlgItemIdProperty).toInt();
}

QWidget* FindById(const QWidget* parent, int id)
{
    for (QObject* child : parent->children()) {
        if (child->isWidgetType() && IdOf(child) == id)
            return static_cast<QWidget*>(child);
    }
    for (QWidget* widget : parent->findChildren<QWidget*>()) {
        if (IdOf(widget) == id)
            return widget;
    }
    return nullptr;
}

QDialog* MainWindow()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(top);
        if (dialog && dialog->isVisible() && FindById(dialog, kMainWindowMarkId))
            return dialog;
    }
    return nullptr;
}

QDialog* RequireMainWindow()
{
    QDialog* window = MainWindow();
    if (!window)
        throw Refusal("the main window is not shown");
    return window;
}

QFileDialog* OpenFileDialog()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QFileDialog*>(top);
        if (dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

int ParseId(const std::string& text)
{
    try {
        std::size_t used = 0;
        const int id = std::stoi(text, &used);
        if (used == text.size())
            return id;
    } catch (const std::exception&) {
    }
    throw Refusal("not a control identifier: \"" + text + "\"");
}

QWidget* Control(const std::string& idText)
{
    const int id = ParseId(idText);
    QWidget* control = FindById(RequireMainWindow(), id);
    if (!control)
        throw Refusal("no control " + idText);
    return control;
}

// What an operator can act on: shown and not greyed.
void RequireUsable(const QWidget* control, const std::string& idText)
{
    if (!control->isVisible())
        throw Refusal("control " + idText + " is hidden");
    if (!control->isEnabled())
        throw Refusal("control " + idText + " is greyed");
}

template <typename T>
T* RequireKind(QWidget* control, const std::string& idText, const char* kind)
{
    auto* typed = qobject_cast<T*>(control);
    if (!typed)
        throw Refusal("control " + idText + " is not " + kind + " but " + control->metaObject()->className());
    return typed;
}

const MfcExtControl::CColorStatic* RequireLamp(QWidget* control, const std::string& idText)
{
    if (std::strcmp(control->metaObject()->className(), kLampClassName) != 0)
        throw Refusal("control " + idText + " is not a lamp but " + control->metaObject()->className());
    return static_cast<const MfcExtControl::CColorStatic*>(control);
}

QString TextOf(const QWidget* control)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (auto* edit = qobject_cast<const QPlainTextEdit*>(control))
        return edit->toPlainText();
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentIndex() >= 0 ? combo->currentText() : QString();
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(control))
        return group->title();
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    throw Refusal(std::string("no text in a ") + control->metaObject()->className());
}

Qt::Key KeyNamed(const std::string& name)
{
    static const std::map<std::string, Qt::Key> keys = {
        {"Escape", Qt::Key_Escape}, {"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter},
        {"Home", Qt::Key_Home},     {"End", Qt::Key_End},       {"Up", Qt::Key_Up},
        {"Down", Qt::Key_Down},     {"Tab", Qt::Key_Tab},       {"Space", Qt::Key_Space},
    };
    const auto key = keys.find(name);
    if (key == keys.end())
        throw Refusal("unknown key \"" + name + "\"");
    return key->second;
}

// Where a click lands: a check box on its box, anything else in its middle.
QPoint ClickPoint(QWidget* control)
{
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        QStyleOptionButton option;
        option.initFrom(box);
        return box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
    }
    return control->rect().center();
}

// Types as a keyboard does; QTest's own typing covers Latin-1 only.
void TypeText(QWidget* control, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(control, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, control, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// The operator's way through a drop-down list: Home, then Down until the item.
void PickByKeyboard(QComboBox* combo, int index)
{
    combo->setFocus(Qt::OtherFocusReason);
    if (combo->currentIndex() == index)
        return;
    if (combo->currentIndex() < 0 || combo->currentIndex() > index)
        QTest::keyClick(combo, Qt::Key_Home);
    while (combo->currentIndex() < index) {
        const int before = combo->currentIndex();
        QTest::keyClick(combo, Qt::Key_Down);
        if (combo->currentIndex() == before)
            break;
    }
}

std::string Flag(bool value)
{
    return value ? "1" : "0";
}

std::string Hex(std::uint32_t value)
{
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

class COperatorDriver : public QObject
{
public:
    COperatorDriver(const std::string& socketPath, QObject* parent) : QObject(parent)
    {
        m_socket = Connect(socketPath);
        if (m_socket < 0) {
            std::fprintf(stderr, "operator driver: cannot reach %s: %s\n", socketPath.c_str(), std::strerror(errno));
            return;
        }
        m_notifier = new QSocketNotifier(m_socket, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &COperatorDriver::OnReadable);
        Send({"0", "hello", std::to_string(::getpid())});
    }

    ~COperatorDriver() override
    {
        if (m_socket >= 0)
            ::close(m_socket);
    }

private:
    static int Connect(const std::string& path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof address.sun_path) {
            errno = ENAMETOOLONG;
            return -1;
        }
        std::strcpy(address.sun_path, path.c_str());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return fd;
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        errno = error;
        return -1;
    }

    // Only reads and queues: requests run later, each in its own call, so a
    // request that runs a modal dialog does not hold up the ones after it.
    void OnReadable()
    {
        char chunk[65536];
        const ssize_t count = ::recv(m_socket, chunk, sizeof chunk, MSG_DONTWAIT);
        if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN)) {
            m_notifier->setEnabled(false);  // the test has gone
            return;
        }
        if (count < 0)
            return;
        m_buffer.append(chunk, static_cast<std::size_t>(count));
        for (std::size_t end; (end = m_buffer.find('\n')) != std::string::npos;) {
            const Fields request = wire::Split(m_buffer.substr(0, end));
            m_buffer.erase(0, end + 1);
            QMetaObject::invokeMethod(this, [this, request] { Run(request); }, Qt::QueuedConnection);
        }
    }

    void Run(const Fields& request)
    {
        Fields reply{request.front()};
        try {
            if (request.size() < 2)
                throw Refusal("a request needs an identifier and a verb");
            const Fields result = Execute(request[1], Fields(request.begin() + 2, request.end()));
            reply.push_back("ok");
            reply.insert(reply.end(), result.begin(), result.end());
        } catch (const std::exception& error) {
            reply = {request.front(), "error", error.what()};
        }
        Send(reply);
    }

    void Send(const Fields& message)
    {
        const std::string line = wire::Join(message);
        for (std::size_t sent = 0; sent < line.size();) {
            const ssize_t count = ::send(m_socket, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                return;  // the test has gone
            sent += static_cast<std::size_t>(count);
        }
    }

    static void RequireArguments(const Fields& arguments, std::size_t count, const std::string& verb)
    {
        if (arguments.size() != count)
            throw Refusal(verb + " takes " + std::to_string(count) + " argument(s)");
    }

    // window                  the main window's title, once it is shown
    // click ID                a mouse click on a button or check box
    // key ID|focus|window KEY a key pressed on a control, the focused control or the window
    // type ID TEXT            focus an edit, select all, type TEXT over it
    // pick ID TEXT            choose a list item with the keyboard
    // text ID                 a control's text (an edit's, a list's selection, a caption)
    // length ID               the length of that text, in characters
    // items ID                a list's items
    // state ID                enabled=0|1 checked=0|1|- index=N|-
    // lamp ID                 lit=0|1 colour=COLORREF shown now lit-colour=COLORREF pulses=N
    // filedialog PATH         the open file dialog accepts PATH
    // cancelfiledialog        the open file dialog is cancelled
    // closebox                the window's close box
    Fields Execute(const std::string& verb, const Fields& arguments)
    {
        if (verb == "window") {
            RequireArguments(arguments, 0, verb);
            return {Utf8(RequireMainWindow()->windowTitle())};
        }
        if (verb == "click") {
            RequireArguments(arguments, 1, verb);
            QWidget* control = Control(arguments[0]);
            RequireUsable(control, arguments[0]);
            RequireKind<QAbstractButton>(control, arguments[0], "a button");
            QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, ClickPoint(control));
            return {};
        }
        if (verb == "key") {
            RequireArguments(arguments, 2, verb);
            QWidget* target = nullptr;
            if (arguments[0] == "window")
                target = RequireMainWindow();
            else if (arguments[0] == "focus")
                target = QApplication::focusWidget() ? QApplication::focusWidget() : RequireMainWindow();
            else
                target = Control(arguments[0]);
            QTest::keyClick(target, KeyNamed(arguments[1]));
            return {};
        }
        if (verb == "type") {
            RequireArguments(arguments, 2, verb);
            QWidget* control = Control(arguments[0]);
            RequireUsable(control, arguments[0]);
            if (!qobject_cast<QLineEdit*>(control) && !qobject_cast<QPlainTextEdit*>(control))
                throw Refusal("control " + arguments[0] + " takes no typing");
            control->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);
            TypeText(control, FromUtf8(arguments[1]));
            return {};
        }
        if (verb == "pick") {
            RequireArguments(arguments, 2, verb);
            QWidget* control = Control(arguments[0]);
            RequireUsable(control, arguments[0]);
            auto* combo = RequireKind<QComboBox>(control, arguments[0], "a list");
            const int index = combo->findText(FromUtf8(arguments[1]), Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (index < 0)
                throw Refusal("list " + arguments[0] + " has no item \"" + arguments[1] + "\"");
            PickByKeyboard(combo, index);
            if (combo->currentIndex() != index)
                throw Refusal("list " + arguments[0] + " did not move to \"" + arguments[1] + "\"");
            return {};
        }
        if (verb == "text") {
            RequireArguments(arguments, 1, verb);
            return {Utf8(TextOf(Control(arguments[0])))};
        }
        if (verb == "length") {
            RequireArguments(arguments, 1, verb);
            return {std::to_string(TextOf(Control(arguments[0])).size())};
        }
        if (verb == "items") {
            RequireArguments(arguments, 1, verb);
            const auto* combo = RequireKind<QComboBox>(Control(arguments[0]), arguments[0], "a list");
            Fields items;
            for (int i = 0; i < combo->count(); ++i)
                items.push_back(Utf8(combo->itemText(i)));
            return items;
        }
        if (verb == "state") {
            RequireArguments(arguments, 1, verb);
            const QWidget* control = Control(arguments[0]);
            const auto* button = qobject_cast<const QAbstractButton*>(control);
            const auto* combo = qobject_cast<const QComboBox*>(control);
            return {"enabled=" + Flag(control->isEnabled()),
                    "checked=" + (button && button->isCheckable() ? Flag(button->isChecked()) : "-"),
                    "index=" + (combo ? std::to_string(combo->currentIndex()) : "-")};
        }
        if (verb == "lamp") {
            RequireArguments(arguments, 1, verb);
            const MfcExtControl::CColorStatic* lamp = RequireLamp(Control(arguments[0]), arguments[0]);
            return {"lit=" + Flag(lamp->IsLit()), "colour=" + Hex(lamp->IsLit() ? lamp->LitColor() : lamp->BackColor()),
                    "lit-colour=" + Hex(lamp->LitColor()), "pulses=" + std::to_string(lamp->TimersStarted())};
        }
        if (verb == "filedialog" || verb == "cancelfiledialog") {
            RequireArguments(arguments, verb == "filedialog" ? 1 : 0, verb);
            QFileDialog* dialog = OpenFileDialog();
            if (!dialog)
                throw Refusal("no file dialog is open");
            if (verb == "cancelfiledialog") {
                dialog->reject();
                return {};
            }
            // As typing the path into the dialog's file name box and pressing Open.
            const QString path = FromUtf8(arguments[0]);
            dialog->selectFile(path);
            if (auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                nameBox->setText(path);
            static_cast<QDialog*>(dialog)->accept();
            if (dialog->isVisible()) {
                throw Refusal("the file dialog did not take \"" + arguments[0] + "\"; it selects \"" +
                              Utf8(dialog->selectedFiles().join(QStringLiteral("\", \""))) + "\"");
            }
            return {};
        }
        if (verb == "closebox") {
            RequireArguments(arguments, 0, verb);
            RequireMainWindow()->close();
            return {};
        }
        throw Refusal("unknown verb \"" + verb + "\"");
    }

    int m_socket = -1;
    QSocketNotifier* m_notifier = nullptr;
    std::string m_buffer;
};

void StartOperatorDriver()
{
    const QByteArray socketPath = qgetenv(kSocketVariable);
    if (socketPath.isEmpty())
        return;
    new COperatorDriver(socketPath.toStdString(), QCoreApplication::instance());
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(StartOperatorDriver)
