// Texts from the language file (ApplyCaptions, SaveCaptions) and the plain look (ApplySkin).

#include "GuiTestSupport.h"
#include "TestRegistry.h"
#include "core/settings/Localization.h"
#include "gui/settings/Captions.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinnedForm.h"
#include "gui/skins/Skins.h"

#include <QMenu>
#include <QTest>

using namespace parlomar;

namespace {
class TDerivedLabel : public TLabel {
    Q_OBJECT
public:
    using TLabel::TLabel;
};

// A window with one component of each kind the rules care about.
struct SampleForm : TSkinnedForm {
    SampleForm() : TSkinnedForm(QStringLiteral("SampleForm")) {
        plain = Named(new TLabel(QStringLiteral("Plain"), this), "PlainLabel");
        cut = Named(new TLabel(QStringLiteral("Cut"), this), "CutLabel");
        kept = Named(new TLabel(QStringLiteral("Kept"), this), "KeptLabel", kTagNoCaption);
        derived = Named(new TDerivedLabel(QStringLiteral("Derived"), this), "DerivedLabel");
        check = Named(new TBitCheckBox(QStringLiteral("Check"), this), "RememberCheck");
        list = Named(new TListBox(this), "CustListBox");
        list->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        auto* menu = new QMenu(this);
        item = Named(new TMenuItem(QStringLiteral("Item"), menu), "Item1");
        menu->addAction(item);
    }
    TLabel *plain, *cut, *kept, *derived;
    TBitCheckBox* check;
    TListBox* list;
    TMenuItem* item;
};
} // namespace

class CaptionsAndSkinTest : public QObject {
    Q_OBJECT
private slots:
    void ApplyCaptionsFollowsTheCaptionRules() {
        test::ProgramFolder folder;
        folder.WriteLanguage("[SampleForm]\n"
                             "PlainLabel=  Translated  \n"
                             "CutLabel=" +
                             std::string(60, 'x') +
                             "\n"
                             "KeptLabel=Not used\n"
                             "DerivedLabel=Not used either\n"
                             "RememberCheck=Keep it\n"
                             "Item1=Menu text\n"
                             "CustListBox0=first\n"
                             "CustListBox1=second\n");
        VersionText = "1.2.3.4 ";
        SampleForm form;
        ApplyCaptions(&form);
        QCOMPARE(form.windowTitle(), QStringLiteral("ParlomarClient  1.2.3.4 ")); // built-in name: two blanks
        QCOMPARE(form.plain->text(), QStringLiteral("Translated"));
        QCOMPARE(form.cut->text(), QString(50, QLatin1Char('x')));
        QCOMPARE(form.kept->text(), QStringLiteral("Kept"));
        QCOMPARE(form.derived->text(), QStringLiteral("Derived"));
        QCOMPARE(form.check->text(), QStringLiteral("Keep it"));
        QCOMPARE(form.item->text(), QStringLiteral("Menu text"));
        QCOMPARE(form.list->count(), 3);
        QCOMPARE(form.list->item(0)->text(), QStringLiteral("first"));
        QCOMPARE(form.list->item(2)->text(), QStringLiteral("0")); // no key, no fallback
    }

    void SaveCaptionsWritesWhatApplyCaptionsReadsBack() {
        test::ProgramFolder folder;
        folder.WriteLanguage("");
        SampleForm form;
        SaveCaptions(&form);
        const std::string written = folder.Language();
        QVERIFY(written.find("PlainLabel=Plain") != std::string::npos);
        QVERIFY(written.find("Item1=Item") != std::string::npos);
        QVERIFY(written.find("CustListBox2=c") != std::string::npos);
        QVERIFY(written.find("KeptLabel") == std::string::npos);    // Tag -1
        QVERIFY(written.find("DerivedLabel") == std::string::npos); // not an exact caption class

        // After a restart with that file every window shows its built-in texts and list items.
        SampleForm again;
        ApplyCaptions(&again);
        QCOMPARE(again.plain->text(), QStringLiteral("Plain"));
        QCOMPARE(again.list->item(1)->text(), QStringLiteral("b"));
    }

    void PlainLookByTag() {
        test::ProgramFolder folder;
        TSkinnedForm form(QStringLiteral("SampleForm"));
        auto* big = Named(new TLabel(QStringLiteral("Title"), &form), "BigLabel", kTagLargeBold);
        SetParentFont(big, false);
        SetParentColor(big, false);
        auto* small = Named(new TLabel(QStringLiteral("Small"), &form), "SmallLabel", kTagSmallBold);
        SetParentFont(small, false);
        auto* inherits = Named(new TLabel(QStringLiteral("Inherits"), &form), "InheritsLabel", kTagLargeBold);
        auto* untouched = Named(new TLabel(QStringLiteral("Own"), &form), "OwnLabel", kTagNoSkin);
        SetParentFont(untouched, false);
        auto* shape = Named(new TShape(&form), "LoginShape", kTagLargeBold);
        auto* other = Named(new TShape(&form), "OtherShape");
        auto* footer = Named(new TImage(&form), "FooterImage");
        auto* button = Named(new TSkinButton(QStringLiteral("OK"), &form), "OKButton");
        button->XOffset = 7;
        button->SkinNormal = QPixmap(10, 10);
        const QFont before = untouched->font();

        ApplySkin(&form, QStringLiteral("SampleForm"), nullptr);

        QCOMPARE(big->font().family(), QStringLiteral("Arial"));
        QVERIFY(big->font().bold());
        QCOMPARE(big->font().pointSize(), 13);
        QCOMPARE(big->palette().color(QPalette::Window), ButtonFaceColor());
        QCOMPARE(small->font().pointSize(), 10);
        QVERIFY(small->font().bold());
        QCOMPARE(inherits->font(), form.font()); // takes its parent's font
        QCOMPARE(untouched->font(), before);     // Tag -100
        QCOMPARE(shape->BrushColor, QColor(0xD0, 0xDD, 0xE5));
        QCOMPARE(other->BrushColor, QColor(Qt::white));
        QVERIFY(footer->isHidden());
        QCOMPARE(button->XOffset, 0);
        QVERIFY(button->SkinNormal.isNull());
    }
};

static parlomar::test::RegisterTest<CaptionsAndSkinTest> registerCaptionsAndSkinTest;
#include "CaptionsAndSkinTest.moc"
