// The operator driver, loaded into OrvelConfigurator with LD_PRELOAD by the
// end-to-end tests. When the program's QApplication starts it connects to the
// socket named by ORVEL_E2E_DRIVER_SOCKET and acts on the window as an
// operator would, on the window's thread, one request at a time in arrival
// order. It reads what the operator sees from the widgets' Qt properties and
// links no part of the program.
//
// A request is its fields joined by TAB, ending in LF; the answer is "+" and
// the result, or "-" and why it was refused, ending in NUL. Controls are
// named by their dialog identifiers.
//   click ID        a mouse click on a shown, ungreyed button or check box; answered
//                   before the click runs, so that a dialog it opens can be answered
//   key ID KEY      Return or Escape pressed on a control
//   type ID TEXT    selects all of an edit's text and types TEXT over it
//   pick ID ITEM    chooses a list item with the keyboard
//   text ID         the control's text
//   state ID        enabled, checked, lit and lit colour (the last two for a lamp): "1 0 1 65280"
//   file PATH       the open file dialog opens PATH
//   close           the main window's close box

#include <ColorStatic.h>
#include <DlgItem.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTest>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QWidget* Control(const QString& id)
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        for (QWidget* widget : top->isVisible() ? top->findChildren<QWidget*>() : QList<QWidget*>()) {
            if (widget->property(MfcExtControl::kDlgItemIdProperty).toString() == id)
                return widget;
        }
    }
    throw std::runtime_error("no control " + id.toStdString() + " is shown");
}

template <typename T>
T* Usable(const QString& id)
{
    auto* control = qobject_cast<T*>(Control(id));
    if (!control || !control->isVisible() || !control->isEnabled())
        throw std::runtime_error("control " + id.toStdString() + " is hidden, greyed or of another kind");
    return control;
}

QString TextOf(const QWidget* control)
{
    for (const char* name : {"plainText", "text", "currentText", "title"}) {
        const QVariant text = control->property(name);
        if (text.isValid())
            return text.toString();
    }
    throw std::runtime_error(std::string("no text in a ") + control->metaObject()->className());
}

QString StateOf(const QWidget* control)
{
    const auto* button = qobject_cast<const QAbstractButton*>(control);
    QString state = QStringLiteral("%1 %2").arg(control->isEnabled()).arg(button && button->isChecked());
    // The lamp's type information is out of reach: known by name, read by its inline getters.
    if (qstrcmp(control->metaObject()->className(), "MfcExtControl::CColorStatic") == 0) {
        const auto* lamp = static_cast<const MfcExtControl::CColorStatic*>(control);
        return state + QStringLiteral(" %1 %2").arg(lamp->IsLit()).arg(lamp->LitColor());
    }
    return state + QStringLiteral(" 0 0");
}

QString Execute(QStringList request)
{
    while (request.size() < 3)
        request.append(QString()); // a missing argument names nothing
    const QString& verb = request[0];
    if (verb == "click") {
        // Near the left edge, where a check box has its box.
        auto* button = Usable<QAbstractButton>(request[1]);
        const QPoint point(4, button->height() / 2);
        QMetaObject::invokeMethod(
            button, [button, point] { QTest::mouseClick(button, Qt::LeftButton, {}, point); }, Qt::QueuedConnection);
    } else if (verb == "key") {
        QTest::keyClick(Control(request[1]), request[2] == "Return" ? Qt::Key_Return : Qt::Key_Escape);
    } else if (verb == "type") {
        auto* edit = Usable<QLineEdit>(request[1]);
        edit->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, request[2]);
    } else if (verb == "pick") {
        // Home, then Down until the item, as an operator goes through a closed list.
        auto* combo = Usable<QComboBox>(request[1]);
        const int index = combo->findText(request[2], Qt::MatchExactly | Qt::MatchCaseSensitive);
        combo->setFocus(Qt::OtherFocusReason);
        if (combo->currentIndex() > index)
            QTest::keyClick(combo, Qt::Key_Home);
        for (int before = -2; combo->currentIndex() < index && combo->currentIndex() != before;) {
            before = combo->currentIndex();
            QTest::keyClick(combo, Qt::Key_Down);
        }
        if (index < 0 || combo->currentIndex() != index)
            throw std::runtime_error("cannot pick \"" + request[2].toStdString() + "\"");
    } else if (verb == "text") {
        return TextOf(Control(request[1]));
    } else if (verb == "state") {
        return StateOf(Control(request[1]));
    } else if (verb == "file") {
        // As typing the path into the dialog's name box and pressing Open.
        QFileDialog* dialog = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            dialog = top->isVisible() && qobject_cast<QFileDialog*>(top) ? static_cast<QFileDialog*>(top) : dialog;
        if (!dialog)
            throw std::runtime_error("no file dialog is open");
        dialog->selectFile(request[1]);
        if (auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            nameBox->setText(request[1]);
        static_cast<QDialog*>(dialog)->accept();
        if (dialog->isVisible())
            throw std::runtime_error("the file dialog did not take " + request[1].toStdString());
    } else if (verb == "close") {
        Control(QStringLiteral("1000"))->window()->close();
    } else {
        throw std::runtime_error("unknown verb " + verb.toStdString());
    }
    return {};
}

class COperatorDriver : public QObject
{
public:
    COperatorDriver(const QByteArray& path, QObject* parent) : QObject(parent)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
        m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            qWarning("operator driver: cannot reach %s", path.constData());
            return;
        }
        auto* notifier = new QSocketNotifier(m_socket, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, notifier] {
            char chunk[4096];
            const ssize_t count = ::recv(m_socket, chunk, sizeof chunk, MSG_DONTWAIT);
            notifier->setEnabled(count > 0 || (count < 0 && errno == EAGAIN)); // else the test has gone
            m_buffer.append(chunk, static_cast<int>(std::max<ssize_t>(count, 0)));
            for (int end; (end = m_buffer.indexOf('\n')) >= 0; m_buffer.remove(0, end + 1)) {
                // Each request runs in a queued call of its own, after what
                // the requests before it queued (a click, and a dialog it opens).
                const QStringList request = QString::fromUtf8(m_buffer.left(end)).split(QLatin1Char('\t'));
                QMetaObject::invokeMethod(this, [this, request] { Run(request); }, Qt::QueuedConnection);
            }
        });
    }

    ~COperatorDriver() override { ::close(m_socket); }

private:
    void Run(const QStringList& request)
    {
        QByteArray answer;
        try {
            answer = "+" + Execute(request).toUtf8();
        } catch (const std::exception& error) {
            answer = QByteArray("-") + error.what();
        }
        answer.append('\0');
        for (qsizetype sent = 0, count = 0; sent < answer.size() && count >= 0; sent += count)
            count = ::send(m_socket, answer.constData() + sent, answer.size() - sent, MSG_NOSIGNAL);
    }

    int m_socket = -1;
    QByteArray m_buffer;
};

void StartOperatorDriver()
{
    if (qEnvironmentVariableIsSet("ORVEL_E2E_DRIVER_SOCKET"))
        new COperatorDriver(qgetenv("ORVEL_E2E_DRIVER_SOCKET"), QCoreApplication::instance());
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(StartOperatorDriver)
