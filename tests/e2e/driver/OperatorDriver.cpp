// The operator driver: a small library that the end-to-end tests load into
// OrvelConfigurator with LD_PRELOAD. When the program's QApplication starts,
// the driver connects to the test's socket, named by ORVEL_E2E_DRIVER_SOCKET
// (the driver's own variable; the program reads none), and carries out
// operator actions on the real window, on the window's thread. It reads what
// the operator sees from the widgets themselves, not through the program's
// code, and links no part of the program.
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
#include <QLineEdit>
#include <QSocketNotifier>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

using Fields = std::vector<std::string>;

// The first panel's "Доступен" box: the window that holds it is the main window.
constexpr int kMainWindowMarkId = 1000;

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

std::string Flag(bool value)
{
    return value ? "1" : "0";
}

QWidget* FindById(const QWidget* parent, int id)
{
    for (QWidget* widget : parent->findChildren<QWidget*>()) {
        if (widget->property(MfcExtControl::kDlgItemIdProperty).toInt() == id)
            return widget;
    }
    return nullptr;
}

template <typename T>
T* VisibleTopLevel(const std::function<bool(T*)>& wanted = [](T*) { return true; })
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<T*>(top);
        if (window && window->isVisible() && wanted(window))
            return window;
    }
    return nullptr;
}

QDialog* MainWindow()
{
    QDialog* window = VisibleTopLevel<QDialog>([](QDialog* dialog) { return FindById(dialog, kMainWindowMarkId); });
    if (!window)
        throw Refusal("the main window is not shown");
    return window;
}

QWidget* Control(const std::string& idText)
{
    std::size_t used = 0;
    int id = 0;
    try {
        id = std::stoi(idText, &used);
    } catch (const std::exception&) {
    }
    QWidget* control = used == idText.size() ? FindById(MainWindow(), id) : nullptr;
    if (!control)
        throw Refusal("no control \"" + idText + "\"");
    return control;
}

// What an operator can act on: shown and not greyed.
QWidget* UsableControl(const std::string& idText)
{
    QWidget* control = Control(idText);
    if (!control->isVisible() || !control->isEnabled())
        throw Refusal("control " + idText + " is hidden or greyed");
    return control;
}

template <typename T>
T* RequireKind(QWidget* control, const char* kind)
{
    auto* typed = qobject_cast<T*>(control);
    if (!typed)
        throw Refusal(std::string("control is not ") + kind + " but " + control->metaObject()->className());
    return typed;
}

// The lamp's type information lives in the program, out of the driver's
// reach: it is known by its class name, and only its inline getters are used.
const MfcExtControl::CColorStatic* Lamp(QWidget* control)
{
    if (std::strcmp(control->metaObject()->className(), "MfcExtControl::CColorStatic") != 0)
        throw Refusal(std::string("control is not a lamp but ") + control->metaObject()->className());
    return static_cast<const MfcExtControl::CColorStatic*>(control);
}

QString TextOf(const QWidget* control)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    // A log pane is the program's own class: its text is a property.
    const QVariant plainText = control->property("plainText");
    if (plainText.isValid())
        return plainText.toString();
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentIndex() >= 0 ? combo->currentText() : QString();
    throw Refusal(std::string("no text in a ") + control->metaObject()->className());
}

Qt::Key KeyNamed(const std::string& name)
{
    if (name == "Escape")
        return Qt::Key_Escape;
    if (name == "Return")
        return Qt::Key_Return;
    throw Refusal("unknown key \"" + name + "\"");
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

// The operator's way through a drop-down list: Home, then Down until the item.
void PickByKeyboard(QComboBox* combo, int index)
{
    combo->setFocus(Qt::OtherFocusReason);
    if (combo->currentIndex() < 0 || combo->currentIndex() > index)
        QTest::keyClick(combo, Qt::Key_Home);
    for (int before = -2; combo->currentIndex() < index && combo->currentIndex() != before;) {
        before = combo->currentIndex();
        QTest::keyClick(combo, Qt::Key_Down);
    }
}

// As typing the path into the file dialog's name box and pressing Open.
void OpenWithFileDialog(const std::string& path)
{
    auto* dialog = VisibleTopLevel<QFileDialog>();
    if (!dialog)
        throw Refusal("no file dialog is open");
    dialog->selectFile(FromUtf8(path));
    if (auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        nameBox->setText(FromUtf8(path));
    static_cast<QDialog*>(dialog)->accept();
    if (dialog->isVisible()) {
        throw Refusal("the file dialog did not take \"" + path + "\"; it selects \"" +
                      Utf8(dialog->selectedFiles().join(QStringLiteral("\", \""))) + "\"");
    }
}

// window                the main window's title, once it is shown
// click ID              a mouse click on a button or check box
// key ID|window KEY     Escape or Return pressed on a control or the window
// type ID TEXT          focus an edit, select all, type TEXT (Latin-1) over it
// pick ID TEXT          choose a list item with the keyboard
// text ID               an edit's text or a list's selection
// length ID             the length of that text, in characters
// items ID              a list's items
// state ID              enabled 0|1, checked 0|1 (0 for what cannot be checked)
// lamp ID               lit 0|1, colour shown now, lit colour (COLORREF), pulses
// filedialog PATH       the open file dialog accepts PATH
// closebox              the window's close box
Fields Execute(const std::string& verb, const Fields& arguments)
{
    const auto argument = [&](std::size_t i) -> const std::string& {
        if (arguments.size() <= i)
            throw Refusal(verb + " wants more arguments");
        return arguments[i];
    };
    if (verb == "window")
        return {Utf8(MainWindow()->windowTitle())};
    if (verb == "click") {
        QWidget* control = UsableControl(argument(0));
        QTest::mouseClick(RequireKind<QAbstractButton>(control, "a button"), Qt::LeftButton, Qt::NoModifier,
                          ClickPoint(control));
        return {};
    }
    if (verb == "key") {
        QWidget* target = argument(0) == "window" ? MainWindow() : Control(argument(0));
        QTest::keyClick(target, KeyNamed(argument(1)));
        return {};
    }
    if (verb == "type") {
        auto* edit = RequireKind<QLineEdit>(UsableControl(argument(0)), "a line edit");
        edit->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, FromUtf8(argument(1)));
        return {};
    }
    if (verb == "pick") {
        auto* combo = RequireKind<QComboBox>(UsableControl(argument(0)), "a list");
        const int index = combo->findText(FromUtf8(argument(1)), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0)
            throw Refusal("list " + argument(0) + " has no item \"" + argument(1) + "\"");
        PickByKeyboard(combo, index);
        if (combo->currentIndex() != index)
            throw Refusal("list " + argument(0) + " did not move to \"" + argument(1) + "\"");
        return {};
    }
    if (verb == "text")
        return {Utf8(TextOf(Control(argument(0))))};
    if (verb == "length")
        return {std::to_string(TextOf(Control(argument(0))).size())};
    if (verb == "items") {
        const auto* combo = RequireKind<QComboBox>(Control(argument(0)), "a list");
        Fields items;
        for (int i = 0; i < combo->count(); ++i)
            items.push_back(Utf8(combo->itemText(i)));
        return items;
    }
    if (verb == "state") {
        const QWidget* control = Control(argument(0));
        const auto* button = qobject_cast<const QAbstractButton*>(control);
        return {Flag(control->isEnabled()), Flag(button && button->isChecked())};
    }
    if (verb == "lamp") {
        const MfcExtControl::CColorStatic* lamp = Lamp(Control(argument(0)));
        return {Flag(lamp->IsLit()), std::to_string(lamp->IsLit() ? lamp->LitColor() : lamp->BackColor()),
                std::to_string(lamp->LitColor()), std::to_string(lamp->TimersStarted())};
    }
    if (verb == "filedialog") {
        OpenWithFileDialog(argument(0));
        return {};
    }
    if (verb == "closebox") {
        MainWindow()->close();
        return {};
    }
    throw Refusal("unknown verb \"" + verb + "\"");
}

class COperatorDriver : public QObject
{
public:
    COperatorDriver(const std::string& socketPath, QObject* parent) : QObject(parent)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            std::fprintf(stderr, "operator driver: cannot reach %s: %s\n", socketPath.c_str(), std::strerror(errno));
            return;
        }
        m_notifier = new QSocketNotifier(m_socket, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &COperatorDriver::OnReadable);
        Send({"0", "hello", std::to_string(::getpid())});
    }

    ~COperatorDriver() override
    {
        ::close(m_socket);
    }

private:
    // Only reads and queues: requests run later, each in its own call, so a
    // request that runs a modal dialog does not hold up the ones after it.
    void OnReadable()
    {
        char chunk[65536];
        const ssize_t count = ::recv(m_socket, chunk, sizeof chunk, MSG_DONTWAIT);
        if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN)) {
            m_notifier->setEnabled(false); // the test has gone
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
                return; // the test has gone
            sent += static_cast<std::size_t>(count);
        }
    }

    int m_socket = -1;
    QSocketNotifier* m_notifier = nullptr;
    std::string m_buffer;
};

void StartOperatorDriver()
{
    const QByteArray socketPath = qgetenv("ORVEL_E2E_DRIVER_SOCKET");
    if (!socketPath.isEmpty())
        new COperatorDriver(socketPath.toStdString(), QCoreApplication::instance());
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(StartOperatorDriver)
