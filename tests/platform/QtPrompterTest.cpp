// The real message boxes and file dialog of QtPrompter, under the desk's
// start-up look, read as a screen reader reads them: Qt's own strings must
// be Chinese whatever the session's language (the test runs in English).
#include "platform/QtPrompter.h"

#include "platform/DeskLook.h"

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

using namespace regdesk;
using Buttons = Prompter::Buttons;

Q_DECLARE_METATYPE(Prompter::Buttons)

namespace {

// The accessible names of every descendant of `widget` in `role`.
QStringList accessibleNames(QWidget* widget, QAccessible::Role role)
{
    QStringList names;
    std::vector<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(widget)};
    while (!pending.empty()) {
        QAccessibleInterface* node = pending.back();
        pending.pop_back();
        if (!node)
            continue;
        if (node->role() == role)
            names << node->text(QAccessible::Name);
        for (int i = 0; i < node->childCount(); ++i)
            pending.push_back(node->child(i));
    }
    names.sort();
    return names;
}

// Hands the first visible top-level window of type T to `handle` (which
// closes it): the boxes are modal, so they are read from the event loop.
template <typename T> class WhenShown
{
public:
    explicit WhenShown(std::function<void(T*)> handle) : m_handle(std::move(handle))
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* shown = qobject_cast<T*>(widget);
                if (shown && shown->isVisible()) {
                    m_poll.stop();
                    m_handle(shown);
                    return;
                }
            }
        });
        m_poll.start(10);
    }

private:
    QTimer m_poll;
    std::function<void(T*)> m_handle;
};

} // namespace

class QtPrompterTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_look = std::make_unique<DeskLook>();
        QVERIFY(m_look->hasChineseQtStrings());
    }
    void cleanupTestCase() { m_look.reset(); }

    void messageBoxButtonsAreChinese_data()
    {
        QTest::addColumn<Buttons>("buttons");
        QTest::addColumn<QStringList>("names");
        // Every set of buttons the desk's boxes use; Yes and No carry their
        // access keys, as on a Chinese Windows.
        const QString ok = QStringLiteral("确定");
        const QString cancel = QStringLiteral("取消");
        const QString yes = QStringLiteral("是(Y)");
        const QString no = QStringLiteral("否(N)");
        QTest::newRow("OK") << Buttons::Ok << QStringList{ok};
        QTest::newRow("OK/Cancel") << Buttons::OkCancel << QStringList{ok, cancel};
        QTest::newRow("Yes/No") << Buttons::YesNo << QStringList{yes, no};
        QTest::newRow("Yes/No/Cancel") << Buttons::YesNoCancel << QStringList{yes, no, cancel};
    }

    void messageBoxButtonsAreChinese()
    {
        QFETCH(Buttons, buttons);
        QFETCH(QStringList, names);
        QtPrompter prompter;
        QStringList seen;
        const WhenShown<QMessageBox> reader([&](QMessageBox* box) {
            seen = accessibleNames(box, QAccessible::PushButton);
            prompter.closeMessages(QStringLiteral("警告"));
        });
        Prompter::Message message;
        message.caption = QStringLiteral("警告");
        message.text = QStringLiteral("确实要删除吗？");
        message.buttons = buttons;
        prompter.ask(nullptr, message);
        names.sort();
        QCOMPARE(seen, names);
    }

    void fileDialogIsChinese()
    {
        QtPrompter prompter;
        QStringList buttons;
        QStringList labels;
        const WhenShown<QFileDialog> reader([&](QFileDialog* dialog) {
            buttons = accessibleNames(dialog, QAccessible::PushButton);
            labels = accessibleNames(dialog, QAccessible::StaticText);
            dialog->reject();
        });
        prompter.openFileName(nullptr, QStringLiteral("打开"), QDir::tempPath(), QStringLiteral("所有文件 (*)"));
        QVERIFY2(buttons.contains(QStringLiteral("取消")), qPrintable(buttons.join(u'|')));
        QVERIFY2(std::any_of(buttons.cbegin(), buttons.cend(),
                             [](const QString& name) { return name.startsWith(QStringLiteral("打开")); }),
                 qPrintable(buttons.join(u'|')));
        QVERIFY2(std::any_of(labels.cbegin(), labels.cend(),
                             [](const QString& name) { return name.startsWith(QStringLiteral("文件名")); }),
                 qPrintable(labels.join(u'|')));
    }

private:
    std::unique_ptr<DeskLook> m_look;
};

QTEST_MAIN(QtPrompterTest)
#include "QtPrompterTest.moc"
