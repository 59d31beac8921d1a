// The calculator dialog and the variable list window on the offscreen platform.

#include "expressions/calculatorform.h"
#include "expressions/variablelistform.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace morvilo;

class CalculatorFormTest : public QObject {
    Q_OBJECT

    std::unique_ptr<VariableStore> store;
    std::unique_ptr<TAusdruckBerechnenForm> form;
    QStringList errors;

    QPushButton *button(const QString &caption) const {
        for (QPushButton *b : form->findChildren<QPushButton *>())
            if (b->text() == caption)
                return b;
        return nullptr;
    }
    void click(const QString &caption) {
        QPushButton *b = button(caption);
        QVERIFY2(b != nullptr, qPrintable(caption));
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QStringList historyLines() const {
        return form->history()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void init() {
        store = std::make_unique<VariableStore>();
        form = std::make_unique<TAusdruckBerechnenForm>(nullptr, *store);
        errors.clear();
        form->showError = [this](const QString &message) { errors << message; };
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanup() { form.reset(); }

    void hasEveryButton() {
        const QStringList captions = {
            "Berechnen", "Abbrechen", "[",    "]",  "#",   "+",   "-",   "*",   "/",
            "^",         "7",         "8",    "9",  "4",   "5",   "6",   "1",   "2",
            "3",         "0",         ".",    "PI", "=",   "ABS", "SIN", "COS", "TAN",
            "ASIN",      "ACOS",      "ATAN", "LN", "EXP", "SQR", "RND", "FIX", "FUP"};
        for (const QString &caption : captions)
            QVERIFY2(button(caption) != nullptr, qPrintable(caption));
        QVERIFY(button("Berechnen")->isDefault());
        QCOMPARE(form->windowTitle(), QString("Ausdruck berechnen"));
    }

    void buttonsInsertAtTheCaret_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("selectionLength"); // selected characters before the caret
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("expectedCaret");
        QTest::newRow("operator in the middle") << "12" << 1 << 0 << "+"
                                                << "1+2" << 2;
        QTest::newRow("digit at the end") << "1" << 1 << 0 << "7"
                                          << "17" << 2;
        QTest::newRow("at the start") << "30]" << 0 << 0 << "["
                                      << "[30]" << 1;
        QTest::newRow("function name only") << "[30]" << 0 << 0 << "SIN"
                                            << "SIN[30]" << 3;
        QTest::newRow("pi") << "2*" << 2 << 0 << "PI"
                            << "2*3.14159265358979" << 18;
        QTest::newRow("selection stays") << "abc" << 2 << 2 << "7"
                                         << "ab7c" << 3;
    }
    void buttonsInsertAtTheCaret() {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(int, selectionLength);
        QFETCH(QString, caption);
        QFETCH(QString, expected);
        QFETCH(int, expectedCaret);
        QLineEdit *input = form->input();
        input->setText(text);
        if (selectionLength > 0)
            input->setSelection(caret - selectionLength, selectionLength);
        else
            input->setCursorPosition(caret);
        QCOMPARE(input->cursorPosition(), caret);
        click(caption);
        QCOMPARE(input->text(), expected);
        QCOMPARE(input->cursorPosition(), expectedCaret);
        QVERIFY(!input->hasSelectedText());
        QTRY_VERIFY(input->hasFocus());
    }

    void berechnenAddsTwoHistoryLines() {
        form->input()->setText("2*[3+4]");
        click("Berechnen");
        QCOMPARE(historyLines(), QStringList({"2*[3+4] =", "14"}));
        QCOMPARE(form->input()->text(), QString("2*[3+4]"));
        store->va[1] = 5;
        form->input()->setText("#1 + 1 (comment)");
        click("=");
        QCOMPARE(historyLines(), QStringList({"2*[3+4] =", "14", "#1 + 1 (comment) =", "6"}));
        // Return in the input field presses the default button.
        form->input()->setText("FOO[3]");
        QTest::keyClick(form->input(), Qt::Key_Return);
        QCOMPARE(historyLines().mid(4), QStringList({"FOO[3] =", "FOO3"}));
        QVERIFY(form->isVisible());
        QVERIFY(errors.isEmpty());
    }

    void errorsAreShownAfterTheInputLine() {
        form->input()->setText("5MOD0");
        click("Berechnen");
        QCOMPARE(historyLines(), QStringList({"5MOD0 ="}));
        QCOMPARE(errors, QStringList({QString::fromUtf8("Division durch Null")}));
        // The dialog goes on.
        form->input()->setText("SQRT[16]");
        click("=");
        QCOMPARE(historyLines(), QStringList({"5MOD0 =", "SQRT[16] =", "4"}));
        QCOMPARE(errors.size(), 1);
    }

    void abbrechenCloses() {
        click("Abbrechen");
        QVERIFY(!form->isVisible());
    }

    void variableListShowsNonZeroValues() {
        store->ova[2] = 2.5;
        store->ova[1000] = 1;
        TShowVariablesForm list(nullptr, *store);
        list.ShowVariables();
        QVERIFY(list.isVisible());
        QVERIFY(!list.isModal());
        QVERIFY(list.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(list.windowFlags() & Qt::Tool, Qt::Tool);
        QCOMPARE(list.windowTitle(), QString("Variablen anzeigen"));
        QCOMPARE(list.memo()->toPlainText(),
                 QString("Alle Variablen 1-999, die nicht 0 sind:\n2: 2.5"));
        // The text changes only when the command is given again.
        store->ova[12] = -1;
        QCOMPARE(list.memo()->toPlainText(),
                 QString("Alle Variablen 1-999, die nicht 0 sind:\n2: 2.5"));
        list.AppendLine("#5=1");
        list.ShowVariables();
        QCOMPARE(list.memo()->toPlainText(),
                 QString("Alle Variablen 1-999, die nicht 0 sind:\n2: 2.5\n12: -1"));
    }
};

QTEST_MAIN(CalculatorFormTest)
#include "calculatorform_test.moc"
