// The export, rename and volume-data dialogs driven like a user would.
#include "dialogs/CAdjustmentDialog.h"
#include "dialogs/CExportDialog.h"
#include "dialogs/CRenameDialog.h"
#include "dialogs/CSizeDialog.h"
#include "dialogs/CVolumeDataDialog.h"
#include "document/EntryNameRule.h"

#include "AccessibleTree.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <QTimer>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>


using F = ExportDialogModel::Format;

class DialogsTest : public QObject {
    Q_OBJECT

    static QStringList enabledFormats(const CExportDialog& d)
    {
        QStringList out;
        for (const F f : {F::Dxt1, F::Dxt3, F::Rgba4444, F::Rgb565, F::Rgba8888})
            if (d.formatRadio(f)->isEnabled())
                out << d.formatRadio(f)->text();
        return out;
    }

private slots:
    void exportWithoutAlphaOffersOnlyTheOpaqueFormats()
    {
        ExportDialogModel model(5, 1, false, "stone.tex");
        CExportDialog d(model);
        QVERIFY(d.noAlphaBox()->isChecked());
        QVERIFY(!d.noAlphaBox()->isEnabled());
        QCOMPARE(enabledFormats(d), (QStringList{"DXT1", "RGB 565"}));
        QVERIFY(d.mapRadio(0)->isChecked());
        QVERIFY(!d.mapsField()->isEnabled());
        QCOMPARE(d.mapsField()->maximum(), 5);
        QCOMPARE(d.mapsField()->suffix(), QStringLiteral(" Map"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Textur exportieren"));
    }

    void exportPlacesListShowsWholeNames()
    {
        ExportDialogModel model(true, 1, true, "bild.tex");
        CExportDialog d(model);
        d.fileDialog()->setSidebarUrls({QUrl(QStringLiteral("file:")), QUrl::fromLocalFile(QDir::tempPath() + "/Ein-langer-Ordnername")});
        d.resize(900, 480);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto* places = d.fileDialog()->findChild<QListView*>(QStringLiteral("sidebar"));
        QVERIFY(places);
        QVERIFY2(places->viewport()->width() >= places->sizeHintForColumn(0),
                 qPrintable(QStringLiteral("%1 < %2").arg(places->viewport()->width()).arg(places->sizeHintForColumn(0))));
    }

    void alphaSwitchAndMapsThroughTheControls()
    {
        ExportDialogModel model(6, 3, true, "stone.tex");
        CExportDialog d(model);
        QCOMPARE(enabledFormats(d), (QStringList{"DXT3", "RGBA 4444", "RGBA 8888"}));
        d.noAlphaBox()->click();
        QCOMPARE(enabledFormats(d), (QStringList{"DXT1", "RGB 565"}));
        d.formatRadio(F::Rgb565)->click();
        QVERIFY(!d.formatRadio(F::Dxt1)->isChecked());
        d.mapRadio(2)->click();
        QVERIFY(d.mapsField()->isEnabled());
        d.mapsField()->setValue(4);
        d.mapRadio(1)->click();
        QCOMPARE(d.mapsField()->value(), 3);  // the texture's current count
        QVERIFY(!d.mapsField()->isEnabled());
        d.mapRadio(2)->click();
        d.mapsField()->setValue(9);  // clamped to the maximum
        QCOMPARE(d.mapsField()->value(), 6);
        const auto r = model.result("x.tex");
        QCOMPARE(r.mapOption, 2);
        QCOMPARE(r.mapCount, 6);
        QVERIFY(r.noAlpha);
        QCOMPARE(r.formatIndex, static_cast<int>(F::Rgb565));
    }

    // Assistive technology sees the format and map choices as radio buttons,
    // and its Toggle action chooses as a click does.
    void choicesAreRadioButtonsThatAssistiveTechnologyCanChoose()
    {
        ExportDialogModel model(6, 3, true, "stone.tex");
        CExportDialog d(model);
        d.show();
        for (QAbstractButton* b : {static_cast<QAbstractButton*>(d.formatRadio(F::Dxt1)), static_cast<QAbstractButton*>(d.formatRadio(F::Rgba8888)),
                                   static_cast<QAbstractButton*>(d.mapRadio(1))})
            QCOMPARE(QAccessible::queryAccessibleInterface(b)->role(), QAccessible::RadioButton);
        QCOMPARE(QAccessible::queryAccessibleInterface(d.noAlphaBox())->role(), QAccessible::CheckBox);
        QCOMPARE(QAccessible::queryAccessibleInterface(d.mapsField())->text(QAccessible::Name), QStringLiteral("Anzahl der Maps"));

        const auto toggle = [](QAbstractButton* b) {
            QAccessible::queryAccessibleInterface(b)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        };
        toggle(d.formatRadio(F::Rgba8888));
        QVERIFY(d.formatRadio(F::Rgba8888)->isChecked());
        QVERIFY2(!d.formatRadio(F::Dxt3)->isChecked(), "one per group");
        toggle(d.mapRadio(2));
        QVERIFY(d.mapsField()->isEnabled());
        toggle(d.noAlphaBox());
        QCOMPARE(enabledFormats(d), (QStringList{"DXT1", "RGB 565"}));
        const auto r = model.result("x.tex");
        QCOMPARE(r.mapOption, 2);
        QVERIFY(r.noAlpha);
        QCOMPARE(r.formatIndex, static_cast<int>(F::Dxt1));
        // Without "Ohne Alpha" the alpha group's choice is the one toggled.
        toggle(d.noAlphaBox());
        QCOMPARE(model.result("x.tex").formatIndex, static_cast<int>(F::Rgba8888));
    }

    // Every control of our dialogs has a name for assistive technology, also
    // the parts of Qt's file dialog inside the export dialog.
    void everyControlHasAnAccessibleName()
    {
        ExportDialogModel exportModel(6, 3, true, "stone.tex");
        CExportDialog exportDialog(exportModel);
        CRenameDialog rename(QStringLiteral("a.tex"), {});
        CVolumeDataDialog volumeData({"", {2004, 2, 29, 13, 14, 15}});
        SizeDialogModel sizeModel = SizeDialogModel::forSelection(300, 100, [](int, int) {});
        CSizeDialog size(sizeModel);
        std::vector<std::unique_ptr<AdjustmentDialogModel>> models;
        std::vector<std::unique_ptr<CAdjustmentDialog>> adjustments;
        for (const auto kind : {AdjustmentDialogModel::Kind::Brightness, AdjustmentDialogModel::Kind::Contrast,
                                AdjustmentDialogModel::Kind::Gamma}) {
            models.push_back(std::make_unique<AdjustmentDialogModel>(kind, [](const AdjustmentDialogModel::Values&) {}, std::function<void(bool)>{}, true));
            adjustments.push_back(std::make_unique<CAdjustmentDialog>(*models.back()));
        }
        QList<QDialog*> dialogs = {&exportDialog, &rename, &volumeData, &size};
        for (auto& a : adjustments)
            dialogs << a.get();
        for (QDialog* d : dialogs) {
            d->show();
            const QStringList unnamed = testsupport::unnamedControls(d);
            QVERIFY2(unnamed.isEmpty(), qPrintable(d->windowTitle() + ": " + unnamed.join(", ")));
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(adjustments[1]->slider())->text(QAccessible::Name), QStringLiteral("Kontrast"));
        QCOMPARE(QAccessible::queryAccessibleInterface(volumeData.commentEdit())->text(QAccessible::Name), QStringLiteral("Kommentar"));
    }

    void changingTheTypeRenamesAndDisablesThePanel()
    {
        ExportDialogModel model(5, 1, true, "stone.tex");
        CExportDialog d(model);
        QCOMPARE(d.fileDialog()->selectedNameFilter(), QStringLiteral("TEX - Tarvos Texturformat (*.tex)"));
        QCOMPARE(d.fileNameEdit()->text(), QStringLiteral("stone.tex"));
        d.selectType(ExportDialogModel::TypeJpeg);
        QCOMPARE(d.fileNameEdit()->text(), QStringLiteral("stone.jpg"));
        QCOMPARE(d.fileDialog()->selectedNameFilter(),
                 QStringLiteral("JPEG - Joint Photographic Expert Group (*.jpg)"));
        QVERIFY(enabledFormats(d).isEmpty());
        QVERIFY(!d.mapRadio(0)->isEnabled());
        QVERIFY(!d.noAlphaBox()->isEnabled());
        d.selectType(ExportDialogModel::TypeTga);
        QVERIFY(d.noAlphaBox()->isEnabled());  // alpha may be dropped from a TGA
        QCOMPARE(d.fileNameEdit()->text(), QStringLiteral("stone.tga"));
        // The type list's own signal takes the same way.
        emit d.fileDialog()->filterSelected(QStringLiteral("BMP - Windows Bitmap (*.bmp)"));
        QCOMPARE(d.fileNameEdit()->text(), QStringLiteral("stone.bmp"));
    }

    void exportLeavesTheOverwriteQuestionToTheDocument()
    {
        QTemporaryDir dir;
        {
            QFile existing(dir.filePath("stone.tex"));
            QVERIFY(existing.open(QIODevice::WriteOnly));
        }
        ExportDialogModel model(5, 1, false, "stone.tex");
        CExportDialog d(model);
        d.fileDialog()->setDirectory(dir.path());
        d.fileNameEdit()->setText("stone.tex");
        // The dialog takes an existing name as it is: the question whether to
        // overwrite is the document's, asked once after the dialog closed.
        d.show();
        d.exportButton()->click();
        QCOMPARE(d.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(model.fileName()), dir.filePath("stone.tex"));
    }

    void renameDialog()
    {
        CRenameDialog d(QStringLiteral("stone.tex"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Umbenennen"));
        QVERIFY(d.oldNameEdit()->isReadOnly());
        QCOMPARE(d.newNameEdit()->text(), QStringLiteral("stone.tex"));
        d.newNameEdit()->selectAll();
        QTest::keyClicks(d.newNameEdit(), QString(70, QLatin1Char('n')));
        QCOMPARE(d.newName().size(), 64);
    }

    void renameDialogStaysOpenWithTheReasonOfARefusedName()
    {
        // The rule for a name on its own, as the document hands it over.
        const NameValidator validate = [](const std::string& name) {
            return EntryNameRule::describe(EntryNameRule::checkUtf8(name).refusal, {}, korvix::Language::German);
        };
        CRenameDialog d(QStringLiteral("stone.tex"), validate);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(d.reasonLabel()->isHidden());
        d.newNameEdit()->selectAll();
        QTest::keyClicks(d.newNameEdit(), QStringLiteral("sub/stone.tex"));
        // The reason shows while the user types ...
        QVERIFY(d.reasonLabel()->isVisible());
        QCOMPARE(d.reasonLabel()->text(), QString::fromUtf8(korvix::msg(korvix::MessageId::NameHasSeparator)));
        // ... and "Speichern" keeps the dialog open with the typed text.
        QTest::keyClick(d.newNameEdit(), Qt::Key_Return);
        QVERIFY(d.isVisible());
        QCOMPARE(d.result(), static_cast<int>(QDialog::Rejected));
        QCOMPARE(d.newName(), QStringLiteral("sub/stone.tex"));
        QVERIFY(d.reasonLabel()->isVisible());
        QVERIFY(d.newNameEdit()->hasFocus());

        d.newNameEdit()->selectAll();
        QTest::keyClicks(d.newNameEdit(), QStringLiteral("stone2.tex"));
        QVERIFY(d.reasonLabel()->isHidden());
        QTest::keyClick(d.newNameEdit(), Qt::Key_Return);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(d.newName(), QStringLiteral("stone2.tex"));
    }

    void volumeDataDialog()
    {
        CVolumeDataDialog d({"Kommentar äö", {2004, 2, 29, 13, 14, 15}});
        QCOMPARE(d.windowTitle(), QStringLiteral("Globale QORB-Daten"));
        const VolumeDataAnswer same = d.answer();
        QCOMPARE(same.comment, std::string("Kommentar äö"));
        QCOMPARE(same.time.year, 2004);
        QCOMPARE(same.time.day, 29);
        QCOMPARE(same.time.second, 15);
        d.commentEdit()->setPlainText(QString(300, QLatin1Char('c')));
        QCOMPARE(d.answer().comment.size(), std::size_t{256});
        d.dateEdit()->setDate(QDate(1970, 5, 5));
        QCOMPARE(d.answer().time.year, 1980);  // a DOS date cannot lie before 1980
        d.dateEdit()->setDate(QDate(2108, 1, 1));
        QCOMPARE(d.answer().time.year, 2108);  // the document refuses it with its message
    }

    void brightnessEditValidationAndPreviewTicks()
    {
        std::vector<AdjustmentDialogModel::Values> previews;
        AdjustmentDialogModel model(
            AdjustmentDialogModel::Kind::Brightness, [&](const AdjustmentDialogModel::Values& v) { previews.push_back(v); },
            {}, true);
        CAdjustmentDialog d(model);
        d.timer()->stop();  // the test is the clock
        QCOMPARE(d.windowTitle(), QStringLiteral("Helligkeit"));
        QCOMPARE(d.slider()->minimum(), -255);
        QCOMPARE(d.slider()->maximum(), 255);
        QCOMPARE(d.timer()->interval(), 65);
        QVERIFY(d.colourRadio()->isChecked());
        QVERIFY(d.alphaRadio()->isEnabled());

        // Typing: digits with an optional leading minus; anything else is taken back.
        d.edit()->setFocus();
        d.edit()->selectAll();
        QTest::keyClicks(d.edit(), "-4x2");
        QCOMPARE(d.edit()->text(), QStringLiteral("-42"));
        // Leaving the box clamps and moves the slider.
        d.edit()->selectAll();
        QTest::keyClicks(d.edit(), "900");
        emit d.edit()->editingFinished();
        QCOMPARE(d.edit()->text(), QStringLiteral("255"));
        QCOMPARE(d.slider()->value(), 255);

        // Preview: slider moves only mark a preview; each tick computes at most one.
        d.previewBox()->click();
        const auto before = previews.size();
        d.slider()->setValue(10);
        d.slider()->setValue(20);
        d.slider()->setValue(30);
        d.tick();
        d.tick();
        QCOMPARE(previews.size() - before, std::size_t{1});
        QCOMPARE(previews.back().colour, 30);
        QCOMPARE(d.edit()->text(), QStringLiteral("30"));
        const auto settled = previews.size();
        d.tick();
        QCOMPARE(previews.size(), settled);  // nothing pending, nothing computed

        // "Alpha" shows its own value.
        d.alphaRadio()->click();
        QCOMPARE(d.slider()->value(), 0);
        d.slider()->setValue(-7);
        d.tick();
        QVERIFY(previews.back().adjustAlpha);
        QCOMPARE(previews.back().alpha, -7);
    }

    void gammaDialogRange()
    {
        AdjustmentDialogModel model(AdjustmentDialogModel::Kind::Gamma, [](const AdjustmentDialogModel::Values&) {});
        CAdjustmentDialog d(model);
        QCOMPARE(d.windowTitle(), QStringLiteral("Gamma"));
        QCOMPARE(d.slider()->minimum(), 10);
        QCOMPARE(d.slider()->maximum(), 4000);
        QCOMPARE(d.slider()->value(), 1000);
        QCOMPARE(d.edit()->text(), QStringLiteral("1.0"));
        QCOMPARE(d.timer()->interval(), 100);
        QVERIFY(!d.colourRadio());
        d.slider()->setValue(2500);
        QCOMPARE(d.edit()->text(), QStringLiteral("2.5"));
    }

    void sizeDialogLiveSelection()
    {
        std::vector<std::pair<int, int>> live;
        SizeDialogModel model =
            SizeDialogModel::forSelection(300, 100, [&](int w, int h) { live.emplace_back(w, h); });
        CSizeDialog d(model);
        QCOMPARE(d.widthList()->count(), 7);  // 256 ... 4
        QCOMPARE(d.widthList()->itemText(0), QStringLiteral("256"));
        QCOMPARE(d.heightList()->itemText(0), QStringLiteral("64"));
        QCOMPARE(live.back(), (std::pair{256, 64}));  // shown as soon as it opens
        d.heightList()->setCurrentIndex(2);
        QCOMPARE(live.back(), (std::pair{256, 16}));
        QCOMPARE(model.chosenHeight(), 16);

        SizeDialogModel resize = SizeDialogModel::forResize();
        CSizeDialog r(resize);
        QCOMPARE(r.windowTitle(), QStringLiteral("Größe ändern"));
        QCOMPARE(r.widthList()->count(), 10);
        QCOMPARE(r.heightList()->itemText(9), QStringLiteral("4"));
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
