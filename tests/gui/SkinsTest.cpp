// Skin packages on real windows: pictures where they must be (decoded from every BMP depth), bad
// packages at start, a skin switch reaching the open windows, and "Save skin attributes" read back.

#include "gui/skins/Skins.h"
#include "GuiTestSupport.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"
#include "core/settings/Paths.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/info/MessageUnit.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinPicture.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

using namespace parlomar;
namespace fs = std::filesystem;

namespace {

const QRgb kKey = qRgb(255, 0, 255);

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A BMP file of w x h pixels with bits per pixel 1, 4, 8 (colours from a palette), 24 or 32, stored
// bottom-up or top-down.
std::string Bmp(int w, int h, int bits, bool topDown, const std::function<QRgb(int, int)>& pixel) {
    std::vector<QRgb> palette;
    std::vector<int> index(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb colour = pixel(x, y);
            auto found = std::find(palette.begin(), palette.end(), colour);
            if (found == palette.end())
                found = palette.insert(palette.end(), colour);
            index[static_cast<size_t>(y * w + x)] = static_cast<int>(found - palette.begin());
        }
    const int colours = bits <= 8 ? 1 << bits : 0;
    const int stride = ((w * bits + 31) / 32) * 4;
    std::string rows;
    for (int r = 0; r < h; ++r) {
        const int y = topDown ? r : h - 1 - r;
        std::string line(static_cast<size_t>(stride), '\0');
        for (int x = 0; x < w; ++x) {
            const QRgb c = pixel(x, y);
            const int i = index[static_cast<size_t>(y * w + x)];
            if (bits <= 8) {
                const int bit = x * bits;
                line[static_cast<size_t>(bit / 8)] |= static_cast<char>(i << (8 - bits - bit % 8));
            } else {
                const size_t at = static_cast<size_t>(x * bits / 8);
                line[at] = static_cast<char>(qBlue(c));
                line[at + 1] = static_cast<char>(qGreen(c));
                line[at + 2] = static_cast<char>(qRed(c));
            }
        }
        rows += line;
    }
    std::string out = "BM";
    const int offset = 14 + 40 + 4 * colours;
    PutLe(out, static_cast<std::uint32_t>(offset + rows.size()), 4);
    PutLe(out, 0, 4);
    PutLe(out, static_cast<std::uint32_t>(offset), 4);
    PutLe(out, 40, 4);
    PutLe(out, static_cast<std::uint32_t>(w), 4);
    PutLe(out, static_cast<std::uint32_t>(topDown ? -h : h), 4);
    PutLe(out, 1, 2);
    PutLe(out, static_cast<std::uint32_t>(bits), 2);
    PutLe(out, 0, 4);
    PutLe(out, static_cast<std::uint32_t>(rows.size()), 4);
    PutLe(out, 2835, 4);
    PutLe(out, 2835, 4);
    PutLe(out, static_cast<std::uint32_t>(colours), 4);
    PutLe(out, 0, 4);
    for (int i = 0; i < colours; ++i) {
        const QRgb c = i < static_cast<int>(palette.size()) ? palette[static_cast<size_t>(i)] : 0;
        PutLe(out, static_cast<std::uint32_t>(qBlue(c) | (qGreen(c) << 8) | (qRed(c) << 16)), 4);
    }
    return out + rows;
}

// A solid picture with the key colour in its left corners (buttons take the top one as transparent,
// check boxes the bottom one).
std::string Keyed(int w, int h, QRgb colour, int bits = 24, bool topDown = false) {
    return Bmp(w, h, bits, topDown,
               [=](int x, int y) { return x == 0 && (y == 0 || y == h - 1) ? kKey : colour; });
}

// Packs files into the program folder's skins folder as package `name` with Info-ZIP zip.
void Pack(const std::string& name, const std::map<std::string, std::string>& files) {
    const fs::path work = SkinsFolder() / ("work-" + name);
    fs::create_directories(work);
    for (const auto& [file, content] : files)
        std::ofstream(work / file, std::ios::binary) << content;
    const std::string command = "cd '" + work.string() + "' && zip -q -X -r -D '../" + name + ".zip' .";
    QCOMPARE(std::system(command.c_str()), 0);
    fs::remove_all(work);
}

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

QRgb At(QWidget* widget, int x, int y) {
    return At(widget->grab().toImage(), x, y);
}

// The same pixels, but for the rounding of see-through edges written into a BMP file.
bool SameLook(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 2 || std::abs(qGreen(p) - qGreen(q)) > 2 ||
                std::abs(qBlue(p) - qBlue(q)) > 2)
                return false;
        }
    return true;
}

// A run-length (RLE8) BMP file of w x h pixels that ends its data at once: a few dozen bytes that
// decode to the whole picture.
std::string RleBomb(int w, int h) {
    std::string out = "BM";
    const int offset = 14 + 40 + 2 * 4;
    PutLe(out, static_cast<std::uint32_t>(offset + 2), 4);
    PutLe(out, 0, 4);
    PutLe(out, static_cast<std::uint32_t>(offset), 4);
    PutLe(out, 40, 4);
    PutLe(out, static_cast<std::uint32_t>(w), 4);
    PutLe(out, static_cast<std::uint32_t>(h), 4);
    PutLe(out, 1, 2);
    PutLe(out, 8, 2);
    PutLe(out, 1, 4); // run-length coded, 8 bits
    PutLe(out, 2, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 2, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0x00FF0000, 4);
    PutLe(out, 0x000000FF, 4);
    return out + std::string("\x00\x01", 2); // end of the picture
}

void UseSkin(const std::string& name) {
    WriteIniValue("SKINS", "Current", name, kSettingsTarget);
}

} // namespace

class SkinsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { SetTransportUi(std::make_shared<test::AnsweringUi>()); }
    void cleanup() {
        SetTransportUi(nullptr);
        ChooseSkin(std::string(NoSkin));
    }

    void PicturesOfEveryDepthWhereTheyBelong() {
        test::ShippedProgramFolder folder;
        const QRgb title = qRgb(0x10, 0x40, 0x60), heading = qRgb(0x30, 0x90, 0x30);
        const QRgb normal = qRgb(0xA0, 0, 0), over = qRgb(0, 0xA0, 0), pushed = qRgb(0, 0, 0xA0),
                   disabled = qRgb(0x60, 0x60, 0x60), checked = qRgb(0xC0, 0x80, 0),
                   unchecked = qRgb(0x20, 0x20, 0xC0);
        const auto stripes = [](QRgb a, QRgb b) { return [=](int, int y) { return y % 2 ? b : a; }; };
        const std::string main = "ParlomarClientMainForm-";
        Pack("Depths", {{"Depths.ini", "[ParlomarClientMainForm]\r\nColor=$00102030\r\n"
                                       "[MessageForm]\r\nFontColor=$0000C0FF\r\n"},
                        {main + "TitlePicture.bmp", Bmp(4, 26, 1, false, stripes(title, title))},
                        {main + "FixedImage.bmp", Bmp(4, 20, 4, true, stripes(heading, heading))},
                        {main + "CheckBoxImageList0.bmp", Keyed(13, 13, checked, 8)},
                        {main + "CheckBoxImageList1.bmp", Keyed(13, 13, unchecked, 32)},
                        {main + "CloseBImageList0.bmp", Keyed(16, 16, qRgb(0xEE, 0xEE, 0xEE), 24, true)},
                        {main + "LoginButton-Normal.bmp", Keyed(90, 26, normal)},
                        {main + "LoginButton-Over.bmp", Keyed(90, 26, over, 8)},
                        {main + "LoginButton-Pushed.bmp", Keyed(90, 26, pushed, 4)},
                        {main + "LoginButton-Disabled.bmp", Keyed(90, 26, disabled, 24, true)},
                        // Announced as a bitmap, but nothing Qt can decode: that part stays plain.
                        {main + "AddButton-Normal.bmp", "BM" + std::string(60, '\x7F')}});
        UseSkin("Depths");
        TParlomarClientMainForm form;
        QCOMPARE(CurrentSkin, std::string("Depths"));
        form.resize(400, 460);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.SkinFrameOn() && (form.windowFlags() & Qt::FramelessWindowHint));
        QVERIFY(form.StatusImage->isVisible() && !form.StatusBar->isVisible());

        // The caption strip (1-bit title picture) above the controls, with its close button.
        const QImage window = form.grab().toImage();
        QCOMPARE(At(window, 60, 13), title & 0xFFFFFF);
        QCOMPARE(At(window, form.CloseButtonRect().center().x(), 3), title & 0xFFFFFF); // key: see-through
        QVERIFY(form.MenuPanel->mapTo(&form, QPoint(0, 0)).y() >= TSkinnedForm::kCaptionHeight);

        // The check box glyphs of the main window's list (8 and 32 bits).
        const QPoint box = form.RememberCheck->rect().topLeft() + QPoint(6, form.RememberCheck->height() / 2);
        form.RememberCheck->SetChecked(true);
        QCOMPARE(At(form.RememberCheck, box.x(), box.y()), checked & 0xFFFFFF);
        form.RememberCheck->SetChecked(false);
        QCOMPARE(At(form.RememberCheck, box.x(), box.y()), unchecked & 0xFFFFFF);

        // The picture button in its four states; its key-coloured corner shows the background.
        TSkinButton* button = form.LoginButton;
        QCOMPARE(button->size(), QSize(90, 26));
        QCOMPARE(At(button, 5, 13), normal & 0xFFFFFF);
        QCOMPARE(At(button, 0, 0), button->BackgroundColor.rgb() & 0xFFFFFF);
        QTest::mouseMove(button, QPoint(45, 13));
        QEnterEvent enter(QPointF(45, 13), QPointF(45, 13), QPointF(45, 13));
        QApplication::sendEvent(button, &enter);
        QCOMPARE(At(button, 5, 13), over & 0xFFFFFF);
        button->setDown(true);
        QCOMPARE(At(button, 5, 13), pushed & 0xFFFFFF);
        button->setDown(false);
        button->setEnabled(false);
        QCOMPARE(At(button, 5, 13), disabled & 0xFFFFFF);
        QVERIFY(form.AddButton->SkinNormal.isNull()); // the undecodable picture was skipped

        // The grid heading: the 4-bit top-down heading picture behind the heading cells.
        form.AccList->Data() = TStringGridData(3, 3);
        form.AccList->Data().SetCell(1, 0, "User");
        form.AccList->RowsChanged();
        form.AccList->resize(300, 120);
        const QImage grid = form.AccList->grab().toImage();
        QCOMPARE(At(grid, 150, 4), heading & 0xFFFFFF);

        // A press on a skinned dialog's close button closes it at once, before the release.
        TMessageForm message(&form);
        message.show();
        QVERIFY(QTest::qWaitForWindowExposed(&message));
        QCOMPARE(At(&message, 60, 13), title & 0xFFFFFF); // the main window's title picture
        QTest::mousePress(&message, Qt::LeftButton, {}, message.CloseButtonRect().center());
        QVERIFY(!message.isVisible());

        // A question with details (the certificate question) shows them in the skin's text colour.
        TMessageForm question(&form);
        question.MessageKind = kMessageQuestion;
        question.DetailText = QStringLiteral("Subject: CN=cp.example.com");
        question.MessageText = QStringLiteral("Accept this certificate?");
        question.show();
        QVERIFY(question.DetailsEdit);
        QCOMPARE(question.DetailsEdit->palette().color(QPalette::Text), QColor(0xFF, 0xC0, 0x00));
        question.reject();
    }

    void BombPicturesKeepThePlainLook() {
        // The decoder: refused by the header's size, and by what is left of the budget.
        TPictureBudget budget(2 * 5 * 5 * 4);
        const auto bytes = [](const std::string& s) { return QByteArray(s.data(), qsizetype(s.size())); };
        QVERIFY(DecodeSkinPicture(bytes(RleBomb(5700, 5700)), budget).isNull());
        QVERIFY(DecodeSkinPicture(bytes(RleBomb(4097, 1)), budget).isNull());
        QCOMPARE(budget.Left(), 200);
        QCOMPARE(DecodeSkinPicture(bytes(RleBomb(5, 5)), budget).size(), QSize(5, 5));
        QCOMPARE(DecodeSkinPicture(bytes(Keyed(5, 5, qRgb(1, 2, 3))), budget).pixel(2, 2), qRgb(1, 2, 3));
        QVERIFY(DecodeSkinPicture(bytes(Keyed(5, 5, qRgb(1, 2, 3))), budget).isNull());
        QCOMPARE(budget.Left(), 0);

        // A package whose pictures are all bombs but one: that one is drawn, the rest stay plain.
        test::ShippedProgramFolder folder;
        const std::string main = "ParlomarClientMainForm-";
        std::map<std::string, std::string> files{
            {"Bombs.ini", "[ParlomarClientMainForm]\r\nColor=clNavy\r\n"}};
        for (const char* part : {"TitlePicture", "FixedImage", "LoginButton-Normal", "LoginButton-Pushed",
                                 "LoginButton-Disabled", "AddButton-Normal", "CheckBoxImageList0",
                                 "CheckBoxImageList1", "CloseBImageList0"})
            files[main + part + ".bmp"] = RleBomb(5700, 5700);
        for (int i = 0; i < 100; ++i)
            files[main + "ImageList" + std::to_string(i) + ".bmp"] = RleBomb(5700, 5700);
        files[main + "LoginButton-Over.bmp"] = Keyed(90, 26, qRgb(0, 0xA0, 0));
        Pack("Bombs", files);
        UseSkin("Bombs");
        TParlomarClientMainForm form;
        QCOMPARE(CurrentSkin, std::string("Bombs"));
        QVERIFY(form.LoginButton->SkinNormal.isNull() && form.AddButton->SkinNormal.isNull());
        QCOMPARE(form.LoginButton->SkinOver.size(), QSize(90, 26));
        QCOMPARE(form.LoginButton->SkinOver.toImage().pixel(45, 13), qRgb(0, 0xA0, 0));
        QVERIFY(form.TitlePicture->pixmap().width() < 5700); // its plain picture
        for (const QPixmap& image : form.ImageList->Images)
            QVERIFY(image.width() < 5700);
    }

    void BadPackagesStartWithoutSkin() {
        test::ShippedProgramFolder folder;
        fs::create_directories(SkinsFolder());
        std::ofstream(SkinsFolder() / "Text.zip") << "not an archive at all";
        Pack("Bare", {{"skin.nfo", "Bare\r\n"}});
        Pack("Cut", {{"Cut.ini", std::string(4000, 'x')}});
        fs::resize_file(SkinsFolder() / "Cut.zip", 40);
        const std::pair<const char*, int> cases[] = {{"Gone", 80}, {"Text", 81}, {"Cut", 82}, {"Bare", 83}};
        for (const auto& [name, status] : cases) {
            UseSkin(name);
            TParlomarClientMainForm form;
            QCOMPARE(CurrentSkin, std::string(NoSkin));
            QVERIFY(!form.SkinFrameOn() && !(form.windowFlags() & Qt::FramelessWindowHint));
            QVERIFY(form.StatusBar->isVisibleTo(&form) && !form.StatusImage->isVisibleTo(&form));
            QCOMPARE(form.StatusSlot(0), QString::fromStdString(StatusText(status) + " " + name));
        }

        // A usable package without some pictures keeps the plain look of those parts.
        Pack("Sparse", {{"Sparse.ini", "[ParlomarClientMainForm]\r\nColor=clNavy\r\n"}});
        UseSkin("Sparse");
        TParlomarClientMainForm form;
        QCOMPARE(CurrentSkin, std::string("Sparse"));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(0, 0, 0x80));
        QVERIFY(!form.RememberCheck->HasGlyphs());
        QVERIFY(form.LoginButton->SkinNormal.isNull());
    }

    void SwitchingSkinsReachesTheOpenWindows() {
        test::ShippedProgramFolder folder;
        fs::create_directories(SkinsFolder());
        for (const char* skin : {"Daylight", "Graphite"})
            fs::copy_file(std::string(PARLOMAR_PROGRAM_DIR) + "/skins/" + skin + ".zip",
                          SkinsFolder() / (std::string(skin) + ".zip"));
        TParlomarClientMainForm main;
        main.show();
        QVERIFY(!main.SkinFrameOn());
        QPointer<TSummaryForm> details = new TSummaryForm(&main);
        details->show();
        TCustForm dialog(&main, kSkinsPage);
        dialog.Calls.skinChanged = [&main] { main.SkinChanged(); };
        dialog.show();
        QCOMPARE(dialog.SkinsCombo->count(), 2);
        QVERIFY(!dialog.SkinsCombo->isEnabled());

        // Skins on: the first package (Daylight) at once, in the main window and the dialog; the
        // focus stays on the check box, though the dialog took another frame.
        dialog.EnableSkinsCheck->setFocus();
        dialog.EnableSkinsCheck->click();
        QCOMPARE(dialog.focusWidget(), dialog.EnableSkinsCheck);
        QCOMPARE(CurrentSkin, std::string("Daylight"));
        QCOMPARE(ReadIniValue("SKINS", "CURRENT", kSettingsTarget), "Daylight");
        QVERIFY(main.isVisible() && main.SkinFrameOn() && (main.windowFlags() & Qt::FramelessWindowHint));
        QVERIFY(main.StatusImage->isVisible() && !main.StatusBar->isVisible());
        QVERIFY(dialog.isVisible() && dialog.SkinFrameOn());
        QTRY_VERIFY(!details || !details->isVisible()); // details windows close with a skin change
        QCOMPARE(main.palette().color(QPalette::Window), QColor(0xF3, 0xF5, 0xF7));
        QCOMPARE(dialog.SkinInfoMemo->toPlainText().section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("Daylight"));

        // Another skin from the list: the other colours everywhere.
        dialog.SkinsCombo->setCurrentRow(1);
        dialog.SkinsComboClick();
        QCOMPARE(CurrentSkin, std::string("Graphite"));
        QCOMPARE(main.palette().color(QPalette::Window), QColor(0x2B, 0x30, 0x36));
        QCOMPARE(dialog.palette().color(QPalette::Window), QColor(0x2B, 0x30, 0x36));

        // Skins off: the plain look and the platform frame again, "\1" in the settings.
        dialog.EnableSkinsCheck->setFocus();
        dialog.EnableSkinsCheck->click();
        QCOMPARE(dialog.focusWidget(), dialog.EnableSkinsCheck);
        QCOMPARE(CurrentSkin, std::string(NoSkin));
        QCOMPARE(ReadIniValue("SKINS", "CURRENT", kSettingsTarget), "\\1");
        QVERIFY(main.isVisible() && !main.SkinFrameOn() && !(main.windowFlags() & Qt::FramelessWindowHint));
        QVERIFY(main.StatusBar->isVisible() && dialog.isVisible() && !dialog.SkinFrameOn());
        QCOMPARE(main.palette().color(QPalette::Window), ButtonFaceColor());

        // The modal dialog, as the main window opens it, changes its frame without closing.
        bool returned = false, openAfterSwitch = false;
        QTimer::singleShot(0, this, [&] {
            auto* modal = qobject_cast<TCustForm*>(QApplication::activeModalWidget());
            QVERIFY(modal);
            modal->EnableSkinsCheck->click();
            QTimer::singleShot(50, modal, [&, modal] {
                openAfterSwitch = !returned && modal->isVisible() && modal->SkinFrameOn();
                modal->reject();
            });
        });
        main.OpenSettings(kSkinsPage);
        returned = true;
        QVERIFY(openAfterSwitch);
        QCOMPARE(CurrentSkin, std::string("Daylight"));
    }

    void KeysChooseSkinsAndADamagedPackageNeverBlocks() {
        test::ShippedProgramFolder folder;
        fs::create_directories(SkinsFolder());
        for (const char* skin : {"Daylight", "Graphite"})
            fs::copy_file(std::string(PARLOMAR_PROGRAM_DIR) + "/skins/" + skin + ".zip",
                          SkinsFolder() / (std::string(skin) + ".zip"));
        std::ofstream(SkinsFolder() / "Aaa.zip") << "sorts first, not an archive";
        // Information in an 8-bit code page; a font size no window can draw.
        Pack("Zed", {{"Zed.ini", "[CustForm-SkinsLabel]\r\nFontSize=99999\r\n"},
                     {"skin.nfo", "Caf\xE9 cr\xE8me\r\nby Zo\xEB\r\n"}});
        TParlomarClientMainForm main;
        TCustForm dialog(&main, kSkinsPage);
        dialog.Calls.skinChanged = [&main] { main.SkinChanged(); };
        dialog.show();
        QCOMPARE(dialog.SkinsCombo->count(), 4);
        QCOMPARE(dialog.SkinsCombo->item(0)->text(), QString::fromStdString(StatusText(81) + " Aaa"));
        QCOMPARE(dialog.SkinsCombo->item(3)->text(), QStringLiteral("Caf\u00E9 cr\u00E8me"));

        // Skins on: the first usable package, the box stays ticked.
        dialog.EnableSkinsCheck->click();
        QCOMPARE(CurrentSkin, std::string("Daylight"));
        QVERIFY(dialog.EnableSkinsCheck->Checked() && dialog.SkinsCombo->isEnabled());
        QCOMPARE(dialog.SkinsCombo->currentRow(), 1);

        // The arrow keys choose, as a click does: the look and the information follow.
        dialog.SkinsCombo->setFocus();
        QTest::keyClick(dialog.SkinsCombo, Qt::Key_Down);
        QCOMPARE(CurrentSkin, std::string("Graphite"));
        QCOMPARE(main.palette().color(QPalette::Window), QColor(0x2B, 0x30, 0x36));
        QCOMPARE(dialog.SkinInfoMemo->toPlainText().section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("Graphite"));
        QTest::keyClick(dialog.SkinsCombo, Qt::Key_Down);
        QCOMPARE(CurrentSkin, std::string("Zed"));
        QCOMPARE(dialog.SkinInfoMemo->toPlainText(), QStringLiteral("Caf\u00E9 cr\u00E8me\nby Zo\u00EB\n"));
        QCOMPARE(dialog.SkinsLabel->font().pointSize(), 72);

        // The damaged package is passed over: the look stays, the information says why.
        QTest::keyClick(dialog.SkinsCombo, Qt::Key_Home);
        QCOMPARE(CurrentSkin, std::string("Zed"));
        QCOMPARE(dialog.SkinInfoMemo->toPlainText(), QString::fromStdString(StatusText(81) + " Aaa"));
        QVERIFY(dialog.EnableSkinsCheck->Checked());

        // Space chooses the current item.
        {
            const QSignalBlocker quiet(dialog.SkinsCombo);
            dialog.SkinsCombo->setCurrentRow(2);
        }
        QCOMPARE(CurrentSkin, std::string("Zed"));
        QTest::keyClick(dialog.SkinsCombo, Qt::Key_Space);
        QCOMPARE(CurrentSkin, std::string("Graphite"));
        QCOMPARE(ReadIniValue("SKINS", "CURRENT", kSettingsTarget), "Graphite");
    }

    // Under each shipped skin every edit's text stands out from the edit's own background.
    void EditsAreReadableUnderEveryShippedSkin() {
        auto apart = [](const QColor& text, const QColor& base) {
            return std::abs(text.lightness() - base.lightness()) >= 100;
        };
        const std::pair<const char*, QColor> skins[] = {{"Daylight", QColor(Qt::white)},
                                                        {"Graphite", QColor(0xEE, 0xF1, 0xF4)}};
        for (const auto& [skin, signInColour] : skins) {
            test::ShippedProgramFolder folder;
            fs::create_directories(SkinsFolder());
            fs::copy_file(std::string(PARLOMAR_PROGRAM_DIR) + "/skins/" + skin + ".zip",
                          SkinsFolder() / (std::string(skin) + ".zip"));
            UseSkin(skin);
            TParlomarClientMainForm main;
            main.UnlockListControls();
            TCustForm dialog(&main, kProxyPage);
            dialog.show();
            dialog.ProxyCheck->click();
            dialog.ProxyCheckClick();
            for (QWidget* window : std::initializer_list<QWidget*>{&main, &dialog})
                for (QLineEdit* edit : window->findChildren<QLineEdit*>()) {
                    const QPalette p = edit->palette();
                    const QColor text = p.color(QPalette::Active, QPalette::Text);
                    const QColor base = p.color(QPalette::Active, QPalette::Base);
                    QVERIFY2(apart(text, base), qPrintable(QStringLiteral("%1 %2: %3 on %4")
                                                               .arg(QLatin1String(skin), edit->objectName(),
                                                                    text.name(), base.name())));
                }
            // The sign-in edits have the colour the skin gives them.
            QCOMPARE(main.IPEdit->palette().color(QPalette::Base), signInColour);
        }
    }

    // In the plain look and under each shipped skin every control that takes the focus shows it
    // clearly: its picture with the focus differs from its picture without, in strong colour steps,
    // along its edge (an edit's text cursor is no frame) or, for the controls that draw their own
    // frame and for lists, anywhere.
    void EveryControlShowsItsFocusUnderEveryLook() {
        auto clearlyChanged = [](const QImage& a, const QImage& b, int ring) {
            int changed = 0;
            for (int y = 0; y < std::min(a.height(), b.height()); ++y)
                for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
                    if (ring > 0 && x >= ring && y >= ring && x < a.width() - ring && y < a.height() - ring)
                        continue;
                    const QRgb p = a.pixel(x, y);
                    const QRgb q = b.pixel(x, y);
                    changed += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                                   std::abs(qBlue(p) - qBlue(q)) >=
                               150;
                }
            return changed;
        };
        for (const std::string& skin : {std::string(), std::string("Daylight"), std::string("Graphite")}) {
            test::ShippedProgramFolder folder;
            if (!skin.empty()) {
                fs::create_directories(SkinsFolder());
                fs::copy_file(std::string(PARLOMAR_PROGRAM_DIR) + "/skins/" + skin + ".zip",
                              SkinsFolder() / (skin + ".zip"));
                UseSkin(skin);
            }
            TParlomarClientMainForm main;
            main.show();
            TCustForm dialog(&main, kGeneralPage); // modal: shown once the main window is done
            std::vector<std::pair<QWidget*, int>> pages{{&main, -1}};
            for (int page = 0; page < dialog.CustListBox->count(); ++page)
                pages.emplace_back(&dialog, page);
            for (const auto& [window, page] : pages) {
                if (page == 0) {
                    dialog.show();
                    dialog.ProxyCheck->click(); // the proxy fields take the focus only while they are on
                }
                if (page >= 0)
                    dialog.CustListBoxClick(page);
                QApplication::setActiveWindow(window);
                QVERIFY(QTest::qWaitForWindowActive(window));
                QList<QWidget*> controls;
                for (QWidget* control : window->findChildren<QWidget*>())
                    if ((control->focusPolicy() & Qt::TabFocus) && control->isVisibleTo(window) &&
                        control->isEnabled() && control->window() == window)
                        controls.append(control);
                QVERIFY(controls.size() >= 3);
                for (QWidget* control : controls) {
                    QWidget* other = controls.front() == control ? controls.back() : controls.front();
                    other->setFocus(Qt::OtherFocusReason);
                    QTest::qWait(20);
                    const QImage without = control->grab().toImage();
                    control->setFocus(Qt::OtherFocusReason);
                    QTRY_VERIFY2(control->hasFocus(), qPrintable(control->objectName()));
                    QTest::qWait(20);
                    const QImage with = control->grab().toImage();
                    const bool anywhere = control->property("OwnFocusFrame").toBool() ||
                                          qobject_cast<QAbstractItemView*>(control);
                    const int changed = clearlyChanged(without, with, anywhere ? 0 : 2);
                    const int needed = anywhere ? 30 : control->width() + control->height();
                    QVERIFY2(changed >= needed,
                             qPrintable(QStringLiteral("%1 %2 %3: %4 of %5 pixels")
                                            .arg(QString::fromStdString(skin),
                                                 QString::fromLatin1(control->metaObject()->className()),
                                                 control->objectName())
                                            .arg(changed)
                                            .arg(needed)));
                }
            }
            dialog.CancelButtonClick();
        }
    }

    void InstalledUseOffersTheUsersOwnSkinsAndSavesAmongThem() {
        test::ShippedProgramFolder folder;
        const fs::path root = folder.Path().toStdString(), program = PARLOMAR_PROGRAM_DIR;
        const fs::path shipped = root / "usr/share/parlomarclient", own = root / "data/ParlomarClient";
        fs::create_directories(root / "usr/bin");
        fs::create_directories(shipped / "skins");
        fs::create_directories(own / "skins");
        fs::copy(root / "Localization", shipped / "Localization");
        fs::copy_file(root / "ParlomarClient.ini", shipped / "ParlomarClient.ini");
        fs::copy_file(program / "skins/Daylight.zip", shipped / "skins/Daylight.zip");
        fs::copy_file(program / "skins/Graphite.zip", own / "skins/Graphite.zip");
        UseFileLocations(
            ResolveFileLocations(root / "usr/bin", true, {root / "config/ParlomarClient", own, {}}));
        struct Portable { // the next test finds the program folder as it always does
            fs::path folder;
            ~Portable() { SetProgramFolder(folder); }
        } portable{root};
        QVERIFY(!PrepareSettingsFile());

        TParlomarClientMainForm main;
        TCustForm dialog(&main, kSkinsPage);
        dialog.Calls.skinChanged = [&main] { main.SkinChanged(); };
        dialog.show();
        QCOMPARE(dialog.SkinsCombo->count(), 2); // the shipped one and the user's own
        dialog.EnableSkinsCheck->click();
        dialog.SkinsCombo->setCurrentRow(1);
        dialog.SkinsComboClick();
        QCOMPARE(CurrentSkin, std::string("Graphite"));
        QCOMPARE(main.palette().color(QPalette::Window), QColor(0x2B, 0x30, 0x36));
        std::ifstream settings(root / "config/ParlomarClient/ParlomarClient.ini", std::ios::binary);
        QCOMPARE(IniLookup(std::string(std::istreambuf_iterator<char>(settings), {}), "SKINS", "Current"),
                 "Graphite");

        main.Saveskinattributes1Click();
        QVERIFY(fs::is_regular_file(own / "skins/Graphite.ini"));
        QCOMPARE(std::distance(fs::directory_iterator(shipped / "skins"), fs::directory_iterator()), 1);
        QVERIFY(!fs::exists(root / "skins"));
    }

    void SavedAttributesLoadAsTheSameLook() {
        test::ShippedProgramFolder folder;
        fs::create_directories(SkinsFolder());
        fs::copy_file(std::string(PARLOMAR_PROGRAM_DIR) + "/skins/Graphite.zip",
                      SkinsFolder() / "Graphite.zip");
        auto looks = [] {
            ResetLanguageGlobals(); // the title's version text as at a first start
            TParlomarClientMainForm main;
            main.resize(420, 480);
            TCustForm dialog(&main, kGeneralPage);
            dialog.show();
            TMessageForm message(&main);
            message.show();
            return std::vector<QImage>{main.grab().toImage(), dialog.grab().toImage(),
                                       message.grab().toImage()};
        };
        {
            // Without a skin every button state picture is empty; each is written all the same, as a
            // picture of no pixels.
            TParlomarClientMainForm main;
            main.Saveskinattributes1Click();
            for (const char* state : {"-Normal", "-Pushed", "-Over", "-Disabled"})
                for (const char* button : {"CustForm-OKButton", "MessageForm-OKButton"}) {
                    const fs::path file = SkinsFolder() / (std::string(button) + state + ".bmp");
                    QVERIFY2(fs::exists(file) && fs::file_size(file) == 54, file.c_str());
                }
            for (const auto& entry : fs::directory_iterator(SkinsFolder()))
                if (entry.path().extension() != ".zip")
                    fs::remove(entry.path());
        }
        UseSkin("Graphite");
        const std::vector<QImage> before = looks();
        {
            TParlomarClientMainForm main;
            main.Saveskinattributes1Click();
        }
        // What was written, packed as a skin of its own.
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(SkinsFolder())) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with(".bmp") || name == "Graphite.ini") {
                std::ifstream in(entry.path(), std::ios::binary);
                files[name == "Graphite.ini" ? "Again.ini" : name] =
                    std::string(std::istreambuf_iterator<char>(in), {});
                fs::remove(entry.path());
            }
        }
        QVERIFY(files.count("Again.ini") && files.size() > 40);
        Pack("Again", files);
        UseSkin("Again");
        const std::vector<QImage> after = looks();
        QCOMPARE(CurrentSkin, std::string("Again"));
        for (size_t i = 0; i < before.size(); ++i)
            QVERIFY2(SameLook(before[i], after[i]), qPrintable(QStringLiteral("window %1 differs").arg(i)));
    }
};

static test::RegisterTest<SkinsTest> registerSkinsTest;
#include "SkinsTest.moc"
