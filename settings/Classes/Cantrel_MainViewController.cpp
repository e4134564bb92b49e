#include "Cantrel_MainViewController.h"

#include "Cantrel_ManualViewController.h"
#include "PrefsBundle.h"

#include <Foundation/NSString.h>
#include <platform/System.h>

#include <mutex>

namespace {

// Stores the switch's state under `key`, then shows what is stored.
void storeSwitch(id delegate, id control, const char* key, BOOL defaultValue) {
    BOOL on = objc_msgSend<BOOL()>(control, "isOn"_sel);
    id number = objc_msgSend<id(BOOL)>(objc_getClass("NSNumber"), "numberWithBool:"_sel, on);
    objc_msgSend<void(id, id)>(delegate, "setPreferencesObject:ForKey:"_sel, number, NSString::make(key));
    if (delegate == nil) return;
    BOOL stored = storedBool(delegate, key, defaultValue);
    if (stored != on) objc_msgSend<void(BOOL)>(control, "setOn:"_sel, stored);
}

void setSwitch(id delegate, id control, const char* key, BOOL defaultValue) {
    objc_msgSend<void(BOOL)>(control, "setOn:"_sel, storedBool(delegate, key, defaultValue));
}

// --- Main page -----------------------------------------------------------------

using Main = Cantrel_MainViewController;

void mainLoadView(Main* self, SEL) { loadViewOrEmptyPage(self, Main::cls()); }

void mainViewDidLoad(Main* self, SEL) {
    objc_msgSendSuper<void()>(self, Main::cls(), "viewDidLoad"_sel);
    fixContainerWidth(self->_containerView.get(), shorterScreenSide());
    setSwitch(self->_delegate.get(), self->_isEnabledSwitch.get(), "is_enabled", YES);
    id bundle = openSettingsBundle();
    id path = objc_msgSend<id(id, id)>(bundle, "pathForResource:ofType:"_sel, "textGradient"_ns, "png"_ns);
    id picture = objc_msgSend<id(id)>(objc_getClass("UIImage"), "imageWithContentsOfFile:"_sel, path);
    // Without the picture the title keeps the nib's colour.
    if (picture != nil)
        objc_msgSend<void(id)>(self->_titleLabel.get(), "setTextColor:"_sel,
                               objc_msgSend<id(id)>(objc_getClass("UIColor"), "colorWithPatternImage:"_sel, picture));
}

void mainViewWillAppear(Main* self, SEL, BOOL animated) {
    objc_msgSendSuper<void(BOOL)>(self, Main::cls(), "viewWillAppear:"_sel, animated);
}

void isEnabledSwitchValueChange(Main* self, SEL, id) {
    id control = self->_isEnabledSwitch.get();
    BOOL on = objc_msgSend<BOOL()>(control, "isOn"_sel);
    id delegate = self->_delegate.get();
    storeSwitch(delegate, control, "is_enabled", YES);
    // The Music app starts again with or without the library's methods, but
    // only when the value really is stored.
    if (delegate != nil && storedBool(delegate, "is_enabled", YES) == on) platform::system("killall -9 Music");
}

void openPage(Main* self, Class cls, const char* nib, bool passDelegate) {
    id page = newPage(cls, nib);
    if (passDelegate) objc_msgSend<void(id)>(page, "setDelegate:"_sel, self->_delegate.get());
    objc_msgSend<void(id)>(self->_delegate.get(), "pushController:"_sel, page);
    objc_release(page);
}

void manualButtonTapped(Main* self, SEL, id) { openPage(self, Cantrel_ManualViewController::cls(), "CManualVC", false); }
void button1Tap(Main* self, SEL, id) { openPage(self, OptionsViewController::cls(), "COptionsVC", true); }
void button2Tap(Main* self, SEL, id) { openPage(self, VisualsViewController::cls(), "CVisualsVC", true); }

// --- Options page --------------------------------------------------------------

using Options = OptionsViewController;

void optionsLoadView(Options* self, SEL) { loadViewOrEmptyPage(self, Options::cls()); }

void optionsViewDidLoad(Options* self, SEL) {
    objc_msgSendSuper<void()>(self, Options::cls(), "viewDidLoad"_sel);
    setSwitch(self->_delegate.get(), self->_enforceID3TagOnExportSwitch.get(), "enforce_ID3Tag_on_export", YES);
    setSwitch(self->_delegate.get(), self->_enforceID3TagArtworkSwitch.get(), "enforce_ID3Tag_on_artwork", YES);
}

template <const char* Key, BOOL Default, class Page>
void switchAction(Page* self, SEL, id sender) {
    storeSwitch(self->_delegate.get(), sender, Key, Default);
}

// --- Visuals page --------------------------------------------------------------

using Visuals = VisualsViewController;

constexpr char kExport[] = "enforce_ID3Tag_on_export";
constexpr char kArtwork[] = "enforce_ID3Tag_on_artwork";
constexpr char kHideExport[] = "hide_export_button";
constexpr char kHideEdit[] = "hide_edit_button";
constexpr char kAskDelete[] = "ask_before_delete";
constexpr char kCoverFlow[] = "disable_cover_flow";
constexpr char kStore[] = "hide_store_button";
constexpr char kBuy[] = "hide_buy_button_for_radio_track";
constexpr char kQueue[] = "hide_queue_buttons";
constexpr char kDelete[] = "hide_delete_button";

void visualsLoadView(Visuals* self, SEL) { loadViewOrEmptyPage(self, Visuals::cls()); }

void visualsViewDidLoad(Visuals* self, SEL) {
    objc_msgSendSuper<void()>(self, Visuals::cls(), "viewDidLoad"_sel);
    id d = self->_delegate.get();
    setSwitch(d, self->_hideExportButtonSwitch.get(), kHideExport, NO);
    setSwitch(d, self->_hideEditButtonSwitch.get(), kHideEdit, NO);
    setSwitch(d, self->_askBeforeDeleteSwitch.get(), kAskDelete, YES);
    setSwitch(d, self->_disableCoverFlowSwitch.get(), kCoverFlow, YES);
    setSwitch(d, self->_hideStoreButtonSwitch.get(), kStore, YES);
    setSwitch(d, self->_hideBuyButtonSwitch.get(), kBuy, NO);
}

#define PAGE_PROPERTY(def, Type, name) def.property<&Type::_##name>(#name)

}  // namespace

void registerPages() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<Main> main("Cantrel_MainViewController", UIViewController::cls());
        main.method<mainLoadView>("loadView", "v@:")
            .method<mainViewDidLoad>("viewDidLoad", "v@:")
            .method<mainViewWillAppear>("viewWillAppear:", "v@:B")
            .method<isEnabledSwitchValueChange>("isEnabledSwitchValueChange:", "v@:@")
            .method<manualButtonTapped>("manualButtonTapped:", "v@:@")
            .method<button1Tap>("button1Tap:", "v@:@")
            .method<button2Tap>("button2Tap:", "v@:@");
        PAGE_PROPERTY(main, Main, isEnabledSwitch);
        PAGE_PROPERTY(main, Main, containerView);
        PAGE_PROPERTY(main, Main, titleLabel);
        PAGE_PROPERTY(main, Main, delegate);

        objc::ClassDef<Options> options("OptionsViewController", UIViewController::cls());
        options.method<optionsLoadView>("loadView", "v@:")
            .method<optionsViewDidLoad>("viewDidLoad", "v@:")
            .method<switchAction<kExport, YES, Options>>("enforceID3TagOnExportValueChanged:", "v@:@")
            .method<switchAction<kArtwork, YES, Options>>("enforceID3TagArtworkValueChanged:", "v@:@");
        PAGE_PROPERTY(options, Options, delegate);
        PAGE_PROPERTY(options, Options, enforceID3TagOnExportSwitch);
        PAGE_PROPERTY(options, Options, enforceID3TagArtworkSwitch);

        objc::ClassDef<Visuals> visuals("VisualsViewController", UIViewController::cls());
        visuals.method<visualsLoadView>("loadView", "v@:")
            .method<visualsViewDidLoad>("viewDidLoad", "v@:")
            .method<switchAction<kHideExport, NO, Visuals>>("hideExportButtonValueChanged:", "v@:@")
            .method<switchAction<kHideEdit, NO, Visuals>>("hideEditButtonValueChanged:", "v@:@")
            .method<switchAction<kAskDelete, YES, Visuals>>("askBeforeDeleteValueChanged:", "v@:@")
            .method<switchAction<kCoverFlow, YES, Visuals>>("disableCoverFlowValueChanged:", "v@:@")
            .method<switchAction<kStore, YES, Visuals>>("hideStoreButtonValueChanged:", "v@:@")
            .method<switchAction<kBuy, NO, Visuals>>("hideBuyButtonValueChanged:", "v@:@")
            .method<switchAction<kQueue, NO, Visuals>>("hideQueueButtonValueChanged:", "v@:@")
            .method<switchAction<kDelete, NO, Visuals>>("hideDeleteButtonValueChanged:", "v@:@");
        PAGE_PROPERTY(visuals, Visuals, delegate);
        PAGE_PROPERTY(visuals, Visuals, hideExportButtonSwitch);
        PAGE_PROPERTY(visuals, Visuals, askBeforeDeleteSwitch);
        PAGE_PROPERTY(visuals, Visuals, disableCoverFlowSwitch);
        PAGE_PROPERTY(visuals, Visuals, hideStoreButtonSwitch);
        PAGE_PROPERTY(visuals, Visuals, hideBuyButtonSwitch);
        PAGE_PROPERTY(visuals, Visuals, hideEditButtonSwitch);
    });
}
