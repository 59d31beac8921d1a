// The dialog of the subprogram folder.

#include "app/ordnerform.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace morvilo {

class OrdnerFormTest : public QObject {
    Q_OBJECT

private slots:
    void captionsAndOneButton() {
        TOrdnerForm form;
        QCOMPARE(form.windowTitle(), QString::fromUtf8("Ordner für Unterprogramme"));
        QCOMPARE(form.Label1->text(), QString::fromUtf8("Ordner für Unterprogramme:"));
        QVERIFY(!form.BitBtn1->isHidden());
        QVERIFY(form.BitBtn2->isHidden());
    }

    void folderRoundTripsThroughTheField() {
        TOrdnerForm form;
        form.SetFolder("/tmp/Unterprogramme ä");
        QCOMPARE(form.DirectoryEdit1->text(), QString::fromUtf8("/tmp/Unterprogramme ä"));
        QCOMPARE(form.Folder(), std::string("/tmp/Unterprogramme ä"));
    }

    void chooserFillsTheFieldUnlessCancelled() {
        TOrdnerForm form;
        form.SetFolder("/start");
        QString asked;
        QString answer = "/chosen";
        form.chooseFolder = [&](QWidget *, const QString &start) {
            asked = start;
            return answer;
        };
        form.Button1->click();
        QCOMPARE(asked, QString("/start"));
        QCOMPARE(form.Folder(), std::string("/chosen"));
        answer.clear();
        form.Button1->click();
        QCOMPARE(form.Folder(), std::string("/chosen"));
    }
};

} // namespace morvilo

QTEST_MAIN(morvilo::OrdnerFormTest)
#include "ordnerform_test.moc"
