// Under a German locale (LC_ALL=de_DE.UTF-8, decimal comma) every number the tool shows or
// writes keeps the point: the window's texts, and every file, written byte for byte as in the C
// locale.

#include "../common/germanlocale.h"
#include "../common/testfiles.h"
#include "../mainform/temporaryhome.h"
#include "app/mainform.h"
#include "app/plotbox.h"
#include "app/reliefpanel.h"
#include "cli/cli.h"
#include "expressions/calculatorform.h"
#include "expressions/variablelistform.h"
#include "translation/translateunit.h"
#include "view/plotrenderer.h"
#include "view/printform.h"

#include <QAbstractSpinBox>
#include <QDirIterator>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QtTest>

#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>

using namespace morvilo;

namespace {

QByteArray readAll(const QString &path) {
    return QByteArray::fromStdString(test::ReadFile(path.toStdString()));
}

void writeAll(const QString &path, const char *text) {
    test::WriteFile(path.toStdString(), text);
}

// A batch command's standard output and status.
QByteArray runCli(const std::vector<std::string> &arguments) {
    std::ostringstream out, err;
    const int status = cli::RunCli(arguments, out, err);
    return QByteArray::fromStdString(std::to_string(status) + "\n" + out.str() + err.str());
}

} // namespace

class GermanLocaleTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;

    QString homeFile(const QString &name) const { return home->filePath(name); }

    std::unique_ptr<TMainform> startForm() {
        auto form = std::make_unique<TMainform>(home->path());
        form->errorBox = [](const QString &message) { qWarning("%s", qPrintable(message)); };
        form->infoBox = [](const QString &) {};
        form->saveQuestion = [] { return QMessageBox::No; };
        form->resize(783, 540);
        form->show();
        return form;
    }

    // What the window leaves in its folders: every file, by name, the translation table
    // without the date of its last change.
    QByteArray windowFiles() {
        {
            auto form = startForm();
            form->portOptions.baud = 7;
            form->LanguageClick(1); // writes options.dat
            form->PrintForm->execDialog = [](QDialog &) { return false; };
            form->PrintForm->Backplotdrucken(form->PaintBox1->bit()); // its settings
            form->close();
        }
        QByteArray files;
        QDirIterator it(home->path(), QDir::Files, QDirIterator::Subdirectories);
        QStringList names;
        while (it.hasNext())
            names << it.next();
        names.sort();
        for (const QString &name : names) {
            QByteArray bytes = readAll(name);
            if (name.endsWith("translate.dbf"))
                bytes.replace(1, 3, "YMD");
            files += QDir(home->path()).relativeFilePath(name).toUtf8() + ":\n" + bytes + "\n";
            QFile::remove(name);
        }
        language = 0;
        return files;
    }

private slots:
    void initTestCase() {
        const std::string fault = test::UseGermanLocale();
        QVERIFY2(fault.empty(), fault.c_str());
        char text[16];
        std::snprintf(text, sizeof text, "%.2f", 1.5);
        QCOMPARE(text, "1,50"); // the locale is in effect
    }

    void init() { home = UseTemporaryHome(); }

    void cleanupTestCase() { test::UseCLocale(); }

    void windowShowsNumbersWithAPoint() {
        auto form = startForm();
        form->PageControl1->setCurrentIndex(1);
        writeAll(homeFile("square.nc"), "#1=1.5\r\nG0 X0 Y0\r\nG1 X10.5\r\nG1 Y10\r\n");
        form->OpenFileWithName(homeFile("square.nc"));
        form->action("ToolButton1")->trigger(); // xy
        form->CalcBtnClick();
        form->action("ToolButton17")->trigger(); // zoom to fit

        // The coordinates under the pointer.
        int32_t sx = 0, sy = 0;
        koordmat(form->view.lastmat, 10.5, 10, 0, 0, 0, 0, 0, 0, 0, sx, sy);
        form->PaintBox1MouseMove(sx, sy);
        const QString shown = form->statusBar()->currentMessage();
        static const QRegularExpression coordinates(
            "^X10\\.\\d\\d, Y\\d+\\.\\d\\d, Z -?0\\.\\d\\d$");
        QVERIFY2(coordinates.match(shown).hasMatch(), qPrintable(shown));

        // The caret marker, the variable list and the calculator.
        QCOMPARE(CaretMarkerText(form->lines[form->lines.Count() - 1], false),
                 QString("X 10.50, Y 10.00, Z 0.00"));
        form->Variablenanzeigen1Click();
        QVERIFY2(form->ShowVariablesForm->memo()->toPlainText().contains("1: 1.5"),
                 qPrintable(form->ShowVariablesForm->memo()->toPlainText()));
        form->AusdruckberechnenForm->input()->setText("1/4+#1");
        form->AusdruckberechnenForm->Berechnen();
        QVERIFY2(form->AusdruckberechnenForm->history()->toPlainText().contains("1.75"),
                 qPrintable(form->AusdruckberechnenForm->history()->toPlainText()));

        // Every number field of the window and its dialogs.
        QCOMPARE(form->Panel3->AbstandFrEd->text(), QString("0.05"));
        form->Panel3->BreitEdValue->setValue(1234.5);
        QCOMPARE(form->Panel3->BreitEdValue->text(), QString("1234.50"));
        QList<QAbstractSpinBox *> fields;
        for (QWidget *window : QApplication::topLevelWidgets())
            fields += window->findChildren<QAbstractSpinBox *>();
        QVERIFY(fields.size() > 10);
        for (QAbstractSpinBox *field : fields)
            QVERIFY2(!field->text().contains(','),
                     qPrintable(field->objectName() + ": " + field->text()));
    }

    // Every file written in German is the file written in the C locale.
    void filesAreTheSameInEveryLocale() {
        const QString picture = MORVILO_PICTURES "/bmp24.bmp";
        const QTemporaryDir work; // apart from the window's folders
        const QString program = work.filePath("part.nc");
        writeAll(program, "#1=0.25\r\nG0 X1.5 Y-2.25 Z[#1*3]\r\nG2 X3.5 Y-0.25 I1 J1 F100\r\n"
                          "G1 A12.5 B0.125 X-1e-3\r\n");
        const QString out = work.filePath("out");
        auto file = [&](const std::vector<std::string> &arguments) {
            QByteArray bytes = runCli(arguments);
            bytes += readAll(out);
            QFile::remove(out);
            return bytes;
        };
        const struct {
            const char *name;
            std::function<QByteArray()> make;
            const char *sample; // a number as it must appear
        } cases[] = {
            {"relief program",
             [&] {
                 return file({"relief", picture.toStdString(), out.toStdString(), "--width", "2.5",
                              "--distance", "0.5", "--safe", "1.25", "--decimals", "3"});
             },
             "Z1.250"},
            {"plot list",
             [&] {
                 return runCli({"plot", program.toStdString()});
             },
             "-2.25"},
            {"DXF",
             [&] {
                 return file({"dxf", program.toStdString(), out.toStdString()});
             },
             "\r\n1.5\r\n"},
            {"expression",
             [&] {
                 return runCli({"eval", "1/4+0.5"});
             },
             "0.75"},
            {"window's settings, options and translation table", [&] { return windowFiles(); },
             "Program run"},
        };
        for (const auto &c : cases) {
            const QByteArray german = c.make();
            test::UseCLocale();
            const QByteArray plain = c.make();
            const std::string fault = test::UseGermanLocale();
            QVERIFY2(fault.empty(), fault.c_str());
            QVERIFY2(german == plain, c.name);
            QVERIFY2(plain.contains(c.sample), qPrintable(QString(c.name) + ":\n" + plain));
        }
    }
};

QTEST_MAIN(GermanLocaleTest)
#include "locale_test.moc"
