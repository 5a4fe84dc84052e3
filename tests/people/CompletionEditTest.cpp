#include "people/CompletionEdit.h"

#include "TestDatabase.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "people/CompletionPopupPlacement.h"
#include "people/NameCompletion.h"
#include "platform/GbkQt.h"

#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace regdesk;

Q_DECLARE_METATYPE(regdesk::ScreenRect)

class CompletionEditTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void queryFollowsTheFirstByte_data();
    void queryFollowsTheFirstByte();
    void noDisplayColumnMeansNoQuery();
    void sourceListsEveryPersonHidden();
    void lowerCaseTextSearchesInitials();
    void chineseTextSearchesNames();
    void capitalFirstLetterSearchesNames();
    void emptyTextListsEveryone();
    void columnsFitTheWidestOfManyNames();
    void unmatchedTextKeepsThePreviousList();
    void quoteInTheTextIsSafe();
    void enterWithoutSelectionTakesTheFirstRow();
    void arrowsMoveTheSelectionWhileTheEditKeepsFocus();
    void escapeHidesTheDropDownAndStaysInTheEdit();
    void enterWithTheDropDownHiddenMovesToTheNextField();
    void doubleClicksTakeOrOpenOrHide();
    void placement_data();
    void placement();

private:
    void showForm();
    QStringList shownNames() const;
    void addPerson(const char* name, const char* initials);

    std::unique_ptr<test::TestDatabase> m_db;
    std::unique_ptr<QDialog> m_form;
    CompletionEdit* m_edit = nullptr;
    QLineEdit* m_next = nullptr;
};

void CompletionEditTest::addPerson(const char* name, const char* initials)
{
    QVERIFY(test::TestDatabase::insertPerson(name, initials));
}

void CompletionEditTest::init()
{
    m_db = std::make_unique<test::TestDatabase>();
    QVERIFY(m_db->isOpen());
    addPerson("张伟", "ZW");
    addPerson("赵树森", "ZSS");
    addPerson("张三", "ZS");
    addPerson("李四", "LS");
    addPerson("O'Neil", "ON");

    // Set up as the registration form sets up its drafter field.
    m_form = std::make_unique<QDialog>();
    auto* layout = new QVBoxLayout(m_form.get());
    m_edit = new CompletionEdit(m_form.get());
    m_next = new QLineEdit(m_form.get());
    layout->addWidget(m_edit);
    layout->addWidget(m_next);
    AdoRecordset people;
    QVERIFY(people.openQuery(RegisterStatements::selectPeople()));
    QVERIFY(m_edit->createDropDown(m_form.get()));
    m_edit->setAbbreviationSearch(true);
    m_edit->setSource(people);
    m_edit->setDisplayColumn("姓名"_gbk);
}

void CompletionEditTest::cleanup()
{
    m_form.reset();
    m_db.reset();
}

void CompletionEditTest::showForm()
{
    m_form->resize(400, 120);
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    m_edit->setFocus();
    QTRY_VERIFY(m_edit->hasFocus());
}

QStringList CompletionEditTest::shownNames() const
{
    QStringList names;
    const CompletionDropDown* dropDown = m_edit->dropDown();
    for (int row = 0; row < dropDown->rowCount(); ++row)
        names << dropDown->cellText(row, 0);
    return names;
}

void CompletionEditTest::queryFollowsTheFirstByte_data()
{
    QTest::addColumn<bool>("abbreviations");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("byInitials");
    QTest::newRow("lower-case letter: initials") << true << QStringLiteral("zs") << true;
    QTest::newRow("capital letter: names") << true << QStringLiteral("Zs") << false;
    QTest::newRow("Chinese: names") << true << QStringLiteral("张") << false;
    QTest::newRow("digit: names") << true << QStringLiteral("1z") << false;
    QTest::newRow("empty: every name") << true << QString() << false;
    QTest::newRow("abbreviation search off") << false << QStringLiteral("zs") << false;
}

void CompletionEditTest::queryFollowsTheFirstByte()
{
    QFETCH(bool, abbreviations);
    QFETCH(QString, text);
    QFETCH(bool, byInitials);
    AdoRecordset source;
    QVERIFY(source.openQuery(RegisterStatements::selectPeople()));
    NameCompletion completion;
    completion.setSource(source);
    completion.setDisplayColumn("姓名"_gbk);
    completion.setAbbreviationSearch(abbreviations);
    const GbkString typed = fromQString(text);
    const GbkString expected = byInitials
                                   ? RegisterStatements::completeByInitials(source.sourceText(), typed)
                                   : RegisterStatements::completeByColumn(source.sourceText(), "姓名"_gbk, typed);
    QCOMPARE(completion.queryFor(typed), std::optional<GbkString>(expected));
    QCOMPARE(completion.displayColumnIndex(), 0);
}

void CompletionEditTest::noDisplayColumnMeansNoQuery()
{
    NameCompletion completion;
    QVERIFY(!completion.queryFor("zs").has_value());
    AdoRecordset source;
    QVERIFY(source.openQuery(RegisterStatements::selectPeople()));
    completion.setSource(source);
    QVERIFY(!completion.queryFor("zs").has_value());
    completion.setDisplayColumn("职务"_gbk);
    QCOMPARE(completion.displayColumnIndex(), -1);
}

void CompletionEditTest::sourceListsEveryPersonHidden()
{
    QCOMPARE(m_edit->dropDown()->rowCount(), 5);
    QCOMPARE(m_edit->dropDown()->headerText(0), QStringLiteral("姓名"));
    QCOMPARE(m_edit->dropDown()->headerText(1), QStringLiteral("简称"));
    QVERIFY(!m_edit->isDropDownShown());
    QCOMPARE(m_edit->dropDown()->property("controlId").toInt(), CompletionEdit::kDropDownId);
    QCOMPARE(m_edit->dropDown()->palette().color(QPalette::Base), QColor(255, 255, 230));
}

void CompletionEditTest::lowerCaseTextSearchesInitials()
{
    showForm();
    QTest::keyClicks(m_edit, QStringLiteral("zs"));
    QVERIFY(m_edit->isDropDownShown());
    QCOMPARE(shownNames(), (QStringList{QStringLiteral("张三"), QStringLiteral("赵树森")}));
    QVERIFY(m_edit->hasFocus());
}

void CompletionEditTest::chineseTextSearchesNames()
{
    showForm();
    m_edit->setText(QStringLiteral("张"));
    QVERIFY(m_edit->isDropDownShown());
    QCOMPARE(shownNames(), (QStringList{QStringLiteral("张三"), QStringLiteral("张伟")}));
}

void CompletionEditTest::capitalFirstLetterSearchesNames()
{
    showForm();
    m_edit->setText(QStringLiteral("张"));
    m_edit->setText(QStringLiteral("Zs"));
    // Nobody's name starts with "Zs": the list of "张" stays.
    QCOMPARE(shownNames(), (QStringList{QStringLiteral("张三"), QStringLiteral("张伟")}));
    m_edit->setText(QStringLiteral("O"));
    QCOMPARE(shownNames(), QStringList{QStringLiteral("O'Neil")});
}

void CompletionEditTest::emptyTextListsEveryone()
{
    showForm();
    m_edit->setText(QStringLiteral("李"));
    QCOMPARE(shownNames(), QStringList{QStringLiteral("李四")});
    m_edit->clear();
    QCOMPARE(m_edit->dropDown()->rowCount(), 5);
}

void CompletionEditTest::columnsFitTheWidestOfManyNames()
{
    // Far more people than a view measures by itself, the longest name last.
    QVERIFY(
        m_db->execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 2999) "
                                     "INSERT INTO 人员信息表 (姓名, 简称) SELECT '王' || i, 'W' FROM n")));
    const QString longest = QStringLiteral("黎·阿卜杜热合曼尼亚孜");
    addPerson("黎·阿卜杜热合曼尼亚孜", "LABDRHMNYZ");
    showForm();
    QTest::keyClick(m_edit, Qt::Key_A);
    QTest::keyClick(m_edit, Qt::Key_Backspace);
    const CompletionDropDown* dropDown = m_edit->dropDown();
    QCOMPARE(dropDown->rowCount(), 3006);
    QVERIFY(dropDown->columnWidth(0) >= dropDown->fontMetrics().horizontalAdvance(longest));
    QVERIFY(dropDown->columnWidth(1) >= dropDown->fontMetrics().horizontalAdvance(QStringLiteral("LABDRHMNYZ")));
}

void CompletionEditTest::unmatchedTextKeepsThePreviousList()
{
    showForm();
    m_edit->setText(QStringLiteral("张"));
    m_edit->setText(QStringLiteral("无此人"));
    QVERIFY(m_edit->isDropDownShown());
    QCOMPARE(shownNames(), (QStringList{QStringLiteral("张三"), QStringLiteral("张伟")}));
}

void CompletionEditTest::quoteInTheTextIsSafe()
{
    showForm();
    m_edit->setText(QStringLiteral("O'"));
    QCOMPARE(shownNames(), QStringList{QStringLiteral("O'Neil")});
    QVERIFY(m_db->prompter().shown().empty());
}

void CompletionEditTest::enterWithoutSelectionTakesTheFirstRow()
{
    showForm();
    m_edit->insert(QStringLiteral("张")); // as an input method commits it
    QVERIFY(m_edit->isDropDownShown());
    QTest::keyClick(m_edit, Qt::Key_Return);
    QCOMPARE(m_edit->text(), QStringLiteral("张三"));
    QVERIFY(!m_edit->isDropDownShown());
    QVERIFY(m_edit->hasFocus());
}

void CompletionEditTest::arrowsMoveTheSelectionWhileTheEditKeepsFocus()
{
    showForm();
    m_edit->setText(QStringLiteral("张"));
    QTest::keyClick(m_edit, Qt::Key_Down);
    QTest::keyClick(m_edit, Qt::Key_Down);
    QCOMPARE(m_edit->dropDown()->currentRow(), 1);
    QTest::keyClick(m_edit, Qt::Key_Up);
    QTest::keyClick(m_edit, Qt::Key_Down);
    QVERIFY(m_edit->hasFocus());
    QTest::keyClick(m_edit, Qt::Key_Enter);
    QCOMPARE(m_edit->text(), QStringLiteral("张伟"));
    QVERIFY(!m_edit->isDropDownShown());

    // Arrow down with the drop-down hidden opens it on the current text's matches.
    QTest::keyClick(m_edit, Qt::Key_Down);
    QVERIFY(m_edit->isDropDownShown());
    QCOMPARE(shownNames(), QStringList{QStringLiteral("张伟")});
}

void CompletionEditTest::escapeHidesTheDropDownAndStaysInTheEdit()
{
    showForm();
    m_edit->setText(QStringLiteral("张"));
    QVERIFY(m_edit->isDropDownShown());
    QTest::keyClick(m_edit, Qt::Key_Escape);
    QVERIFY(!m_edit->isDropDownShown());
    QVERIFY(m_form->isVisible()); // the key did not reach the form
    QCOMPARE(m_edit->text(), QStringLiteral("张"));
}

void CompletionEditTest::enterWithTheDropDownHiddenMovesToTheNextField()
{
    showForm();
    QVERIFY(!m_edit->isDropDownShown());
    QTest::keyClick(m_edit, Qt::Key_Return);
    QTRY_VERIFY(m_next->hasFocus());
    QVERIFY(m_form->isVisible());
}

void CompletionEditTest::doubleClicksTakeOrOpenOrHide()
{
    showForm();
    m_edit->handleFormDoubleClick(true);
    QVERIFY(m_edit->isDropDownShown());
    QCOMPARE(m_edit->dropDown()->rowCount(), 5);

    m_edit->dropDown()->setCurrentCell(2, 1);
    const QString third = m_edit->dropDown()->cellText(2, 0);
    m_edit->handleFormDoubleClick(true);
    QCOMPARE(m_edit->text(), third);
    QVERIFY(!m_edit->isDropDownShown());

    m_edit->handleFormDoubleClick(true);
    m_edit->handleFormDoubleClick(false);
    QVERIFY(!m_edit->isDropDownShown());
}

void CompletionEditTest::placement_data()
{
    QTest::addColumn<ScreenRect>("edit");
    QTest::addColumn<ScreenRect>("owner");
    QTest::addColumn<QPoint>("client");
    QTest::addColumn<int>("extent");
    QTest::addColumn<ScreenRect>("expected");
    const ScreenRect owner{0, 0, 1000, 700};
    // A Windows-like frame: 4 pixels of border, the client area 40 pixels down.
    QTest::newRow("left half: below the edit, growing right")
        << ScreenRect{104, 200, 304, 222} << owner << QPoint(4, 40) << 300 << ScreenRect{104, 222, 404, 342};
    QTest::newRow("right half: growing left from the edit's right edge")
        << ScreenRect{700, 200, 900, 222} << owner << QPoint(4, 40) << 300 << ScreenRect{601, 222, 901, 342};
    QTest::newRow("right half: left edge not less than 20")
        << ScreenRect{700, 200, 900, 222} << owner << QPoint(4, 40) << 900 << ScreenRect{24, 222, 901, 342};
    QTest::newRow("left half: right edge stops 100 short of the screen")
        << ScreenRect{400, 200, 480, 222} << owner << QPoint(4, 40) << 900 << ScreenRect{400, 222, 1270, 342};
    QTest::newRow("just at the middle counts as the left half")
        << ScreenRect{504, 200, 600, 222} << owner << QPoint(4, 40) << 100 << ScreenRect{504, 222, 604, 342};
    // Without the caption the offsets make up for, the drop-down overlaps the edit.
    QTest::newRow("frameless owner: the rule's offsets still apply")
        << ScreenRect{100, 200, 300, 222} << owner << QPoint(0, 0) << 200 << ScreenRect{96, 182, 296, 302};
    QTest::newRow("thin frame: a few pixels over the edit")
        << ScreenRect{104, 200, 304, 222} << owner << QPoint(4, 30) << 300 << ScreenRect{104, 212, 404, 332};
}

void CompletionEditTest::placement()
{
    QFETCH(ScreenRect, edit);
    QFETCH(ScreenRect, owner);
    QFETCH(QPoint, client);
    QFETCH(int, extent);
    QFETCH(ScreenRect, expected);
    const ScreenRect placed = placeCompletionPopup(edit, owner, client.x(), client.y(), extent, 1366);
    QCOMPARE(placed.left, expected.left);
    QCOMPARE(placed.top, expected.top);
    QCOMPARE(placed.right, expected.right);
    QCOMPARE(placed.bottom, expected.bottom);
}

QTEST_MAIN(CompletionEditTest)
#include "CompletionEditTest.moc"
