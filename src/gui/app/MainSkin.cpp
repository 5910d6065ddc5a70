// The main window's skin: its picture components, the parts that differ with and without a skin,
// a skin change made in the settings dialog, and "Save skin attributes" for every window.

#include "gui/app/MainUnit.h"

#include "core/Error.h"
#include "core/server/TransportUi.h"
#include "gui/accounts/AddUnit.h"
#include "gui/accounts/BulkUnit.h"
#include "gui/accounts/FilterPaintBox.h"
#include "gui/accounts/InputUnit.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/info/AboutUnit.h"
#include "gui/info/MessageUnit.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/skins/Skins.h"
#include "gui/tools/TracertUnit.h"

#include <QLabel>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabBar>

#include <memory>

namespace parlomar {

void TParlomarClientMainForm::BuildSkinComponents() {
    // Created first, so that every later component sees the pictures a skin put into them.
    ImageList = Named(new TImageList(this), "ImageList");
    CheckBoxImageList = Named(new TImageList(this), "CheckBoxImageList");
    CheckBoxImageList->Images = {QPixmap(), QPixmap(), QPixmap()};
    CloseBImageList = Named(new TImageList(this), "CloseBImageList");
    CloseBImageList->Images = {QPixmap(), QPixmap(), QPixmap()};
    TabsImageList = Named(new TImageList(this), "TabsImageList");
    TabsImageList->Images = {QPixmap(), QPixmap(), QPixmap()};
    SetCheckBoxImages(&CheckBoxImageList->Images);
    TitlePicture = Named(new TImage(this), "TitlePicture");
    TitlePicture->hide();
    FixedImage = Named(new TImage(this), "FixedImage");
    FixedImage->hide();
    SetSizeable(true);
    SetDesignedTransparentColor(false, QColor(0x00, 0x80, 0x80));
}

void TParlomarClientMainForm::RefreshSkinLayout() {
    const bool skin = SkinActive();
    SetSkinFramePictures(TitlePicture->pixmap(), CloseBImageList->Images);
    SetSharedPictures(&ImageList->Images, FixedImage);
    SetSkinFrame(skin);

    // The status strip: the three-panel bar without a skin, the two labels over the picture with one.
    StatusBar->setVisible(!skin);
    StatusImage->SetStretch(true);
    StatusImage->setVisible(skin);
    StatusLabel1->setText(skin ? StatusSlot(0) : QString());
    StatusLabel2->setText(skin ? StatusSlot(2) : QString());
    QFont bold = StatusLabel1->font();
    bold.setBold(true);
    StatusLabel1->setFont(bold);
    StatusLabel2->setFont(bold);
    StatusIconImage->setPixmap(ImageList->Image(ListMode() == kListModePackages ? 5 : 4));
    ApplyReadOnly(); // moves "read-only" between the status bar and the strip

    // The tab strip: plain tabs without a skin, the picture strip with one (only while signed in).
    TabsPaintBox->Pictures = &TabsImageList->Images;
    TabsPaintBox->setFixedHeight(TabsImageList->Image(0).isNull() ? 25 : TabsImageList->Image(0).height());
    TabSet->setTabIcon(0, ImageList->Image(4));
    TabSet->setTabIcon(1, ImageList->Image(5));
    if (SignedIn()) {
        TabsPaintBox->setVisible(skin);
        TabSet->setVisible(!skin);
    }
    TabsPaintBox->update();

    // The sign-in failure text: its red, lighter on a dark window so that it stays readable.
    QPalette message = LoginMessLabel->palette();
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    message.setColor(QPalette::WindowText, dark ? QColor(0xEE, 0x7A, 0x6E) : QColor(0xB0, 0x30, 0x30));
    LoginMessLabel->setPalette(message);

    AccList->HeadingPicture = skin ? FixedImage->pixmap() : QPixmap();
    AccList->PicturesChanged();
    if (skin && !ImageList->Image(3).isNull())
        TrayIcon->setIcon(QIcon(ImageList->Image(3)));
    else
        TrayIcon->setIcon(windowIcon());
    LayoutResults();
    update();
}

void TParlomarClientMainForm::SkinChanged() {
    const bool wasVisible = isVisible();
    ApplySkin(this, FormName(), &CheckBoxImageList->Images);
    RefreshSkinLayout();
    if (wasVisible && !isVisible())
        show(); // a frame change hides the window for a moment
    CloseDetailsWindows();
    if (TracertForm)
        TracertForm->close(); // stops a trace still running
    if (BulkForm) {           // the run and its summary go on in the new look
        BulkForm->SetSkinFrame(SkinActive());
        ApplySkin(BulkForm, BulkForm->FormName(), CheckBoxImages());
    }
}

void TParlomarClientMainForm::Saveskinattributes1Click() {
    try {
        SaveSkinAttributes(this);
        // Each of the other windows once, in this order; each is created, written and destroyed.
        auto settings = std::make_unique<TCustForm>(this);
        ApplySkin(settings.get(), settings->FormName(), CheckBoxImages());
        SaveSkinAttributes(settings.get());
        settings.reset();
        auto about = std::make_unique<TAboutForm>(this);
        ApplySkin(about.get(), about->FormName(), CheckBoxImages());
        SaveSkinAttributes(about.get());
        about.reset();
        auto input = std::make_unique<TInputForm>(this);
        ApplySkin(input.get(), input->FormName(), CheckBoxImages());
        SaveSkinAttributes(input.get());
        input.reset();
        auto tracert = std::make_unique<TTracertForm>(this, &ImageList->Images);
        ApplySkin(tracert.get(), tracert->FormName(), CheckBoxImages());
        SaveSkinAttributes(tracert.get());
        tracert.reset();
        auto details = std::make_unique<TSummaryForm>(this);
        ApplySkin(details.get(), details->FormName(), CheckBoxImages());
        SaveSkinAttributes(details.get());
        details.reset();
        auto editor = std::make_unique<TAddForm>(this);
        ApplySkin(editor.get(), editor->FormName(), CheckBoxImages());
        SaveSkinAttributes(editor.get());
        editor.reset();
        auto message = std::make_unique<TMessageForm>(this);
        ApplySkin(message.get(), message->FormName(), CheckBoxImages());
        SaveSkinAttributes(message.get());
        message.reset();
        auto bulk = std::make_unique<TBulkForm>(this, BulkKind::Suspend, std::vector<BulkEntry>());
        ApplySkin(bulk.get(), bulk->FormName(), CheckBoxImages());
        SaveSkinAttributes(bulk.get());
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
}

} // namespace parlomar
