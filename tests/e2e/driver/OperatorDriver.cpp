// The operator driver, loaded into OrvelConfigurator with LD_PRELOAD by the
// end-to-end tests. When the program's QApplication starts it takes the
// socket whose descriptor ORVEL_E2E_DRIVER_FD names and acts on the window as
// an operator would, on the window's thread, one request at a time in arrival
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
//   pick ID ITEM    chooses a list item
//   text ID         the control's text
//   state ID        enabled, checked, lit and lit colour (the last two for a lamp): "1 0 1 65280"
//   menu ID ITEM    chooses ITEM of a pane's context menu
//   close           the main window's close box

#include <ColorStatic.h>
#include <DlgItem.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSocketNotifier>
#include <QTest>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <sys/socket.h>

namespace {

// The shown control named `id`; `usable`, it must also be ungreyed and a T.
template <typename T = QWidget>
T* Control(const QString& id, bool usable = false)
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        for (QWidget* widget : top->isVisible() ? top->findChildren<QWidget*>() : QList<QWidget*>()) {
            if (widget->property(MfcExtControl::kDlgItemIdProperty).toString() != id)
                continue;
            auto* control = qobject_cast<T*>(widget);
            if (!control || (usable && (!control->isVisible() || !control->isEnabled())))
                throw std::runtime_error("control " + id.toStdString() + " is hidden, greyed or of another kind");
            return control;
        }
    }
    throw std::runtime_error("no control " + id.toStdString() + " is shown");
}

QString Execute(const QStringList& request)
{
    const QString& verb = request[0];
    if (verb == "click") {
        // Near the left edge, where a check box has its box.
        auto* button = Control<QAbstractButton>(request.value(1), true);
        const QPoint point(4, button->height() / 2);
        QMetaObject::invokeMethod(
            button, [button, point] { QTest::mouseClick(button, Qt::LeftButton, {}, point); }, Qt::QueuedConnection);
    } else if (verb == "key") {
        QTest::keyClick(Control(request.value(1)), request.value(2) == "Return" ? Qt::Key_Return : Qt::Key_Escape);
    } else if (verb == "type") {
        auto* edit = Control<QLineEdit>(request.value(1), true);
        edit->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, request.value(2));
    } else if (verb == "pick") {
        // The item chosen, as an operator's choice in the list tells it.
        auto* combo = Control<QComboBox>(request.value(1), true);
        const int index = combo->findText(request.value(2), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0)
            throw std::runtime_error("no item \"" + request.value(2).toStdString() + "\"");
        combo->setCurrentIndex(index);
        Q_EMIT combo->activated(index);
    } else if (verb == "text") {
        // A list's chosen item, a pane's whole text.
        const QWidget* control = Control(request.value(1));
        const auto* combo = qobject_cast<const QComboBox*>(control);
        return combo ? combo->currentText() : control->property("plainText").toString();
    } else if (verb == "state") {
        // The lamp's type information is out of reach: known by name, read by its inline getters.
        const QWidget* control = Control(request.value(1));
        const auto* button = qobject_cast<const QAbstractButton*>(control);
        const bool isLamp = qstrcmp(control->metaObject()->className(), "MfcExtControl::CColorStatic") == 0;
        const auto* lamp = isLamp ? static_cast<const MfcExtControl::CColorStatic*>(control) : nullptr;
        return QStringLiteral("%1 %2 %3 %4").arg(control->isEnabled()).arg(button && button->isChecked())
            .arg(lamp && lamp->IsLit()).arg(lamp ? lamp->LitColor() : 0u);
    } else if (verb == "menu") {
        QWidget* pane = Control(request.value(1), true);
        QWidget* view = pane->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport"));
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), view->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(view, &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QAction* chosen = nullptr;
        for (QAction* action : menu ? menu->actions() : QList<QAction*>())
            if (action->text() == request.value(2) && action->isEnabled())
                chosen = action;
        if (chosen)
            chosen->trigger();
        if (menu)
            menu->close();
        if (!chosen)
            throw std::runtime_error("no usable item \"" + request.value(2).toStdString() + "\"");
    } else if (verb == "close") {
        Control(QStringLiteral("1000"))->window()->close();
    } else {
        throw std::runtime_error("unknown verb " + verb.toStdString());
    }
    return {};
}

// Runs one request and answers it.
void Answer(int line, const QStringList& request)
{
    QByteArray answer;
    try {
        answer = "+" + Execute(request).toUtf8();
    } catch (const std::exception& error) {
        answer = QByteArray("-") + error.what();
    }
    answer.append('\0');
    for (qsizetype sent = 0, count = 0; sent < answer.size() && count >= 0; sent += count)
        count = ::send(line, answer.constData() + sent, answer.size() - sent, MSG_NOSIGNAL);
}

void StartOperatorDriver()
{
    bool given = false;
    const int line = qEnvironmentVariableIntValue("ORVEL_E2E_DRIVER_FD", &given);
    if (!given)
        return;
    auto* notifier = new QSocketNotifier(line, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [notifier, line, buffer = QByteArray()]() mutable {
        char chunk[4096];
        const ssize_t count = ::recv(line, chunk, sizeof chunk, MSG_DONTWAIT);
        notifier->setEnabled(count > 0 || (count < 0 && errno == EAGAIN)); // else the test has gone
        buffer.append(chunk, static_cast<int>(std::max<ssize_t>(count, 0)));
        for (int end; (end = buffer.indexOf('\n')) >= 0; buffer.remove(0, end + 1)) {
            // Each request runs in a queued call of its own, after what the
            // requests before it queued (a click, and a dialog it opens).
            const QStringList request = QString::fromUtf8(buffer.left(end)).split(QLatin1Char('\t'));
            QMetaObject::invokeMethod(notifier, [line, request] { Answer(line, request); }, Qt::QueuedConnection);
        }
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(StartOperatorDriver)
