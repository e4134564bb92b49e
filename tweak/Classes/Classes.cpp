// The one place where the library's classes register, in dependency order:
// a class registers after the classes it is built on.
#include "Classes.h"

#include "ActionButtonImageView.h"
#include "ActivityViewCustomActivity.h"
#include "Cantrel_Tools.h"
#include "CustomDrawView.h"
#include "DBHandler.h"
#include "DelegateClass.h"
#include "EditHandler.h"
#include "FileHandler.h"
#include "IconView.h"
#include "ItemEntry.h"
#include "MessageView.h"
#include "PlaylistHandler.h"
#include "PlaylistTableViewController.h"
#include "QueueHandler.h"
#include "Libs/FMDB/FMDatabase.h"
#include "Libs/MosaicLayout/Controllers/MosaicLayout.h"
#include "Libs/MosaicLayout/Entities/MosaicData.h"
#include "Libs/MosaicLayout/Views/MosaicCell.h"
#include "CustomDataSource.h"
#include "ImageSearchQuery.h"
#include "NSDictionary+JSONCategories.h"
#include "SearchQueryViewController.h"
#include "NSObject+BKAssociatedObjects.h"
#include "PanelActions.h"
#include "ParentSongAlbumArtistView.h"
#include "StarRatingControl.h"
#include "UILongPressGestureRecognizerWithBlock.h"
#include "UIView+Subviews.h"

void Cantrel_registerClasses() {
    static bool registered = false;
    if (registered) return;
    registered = true;

    registerItemEntry();
    registerFMDatabase();
    registerDBHandler();
    registerUIViewSubviews();
    registerNSObjectBKAssociatedObjects();
    registerDelegateClass();
    registerActionButtonImageView();
    registerUILongPressGestureRecognizerWithBlock();
    registerIconView();
    registerCantrelTools();
    registerMessageView();
    registerCustomDrawView();
    registerStarRatingControl();
    registerEditingPanels();
    registerPanelActions();
    registerNSDictionaryJSONCategories();
    registerMosaicData();
    registerMosaicLayout();
    registerMosaicCell();
    registerCustomDataSource();
    registerSearchQueryViewController();
    registerImageSearchQuery();
    registerEditHandler();
    registerPlaylistHandler();
    registerQueueHandler();
    registerPlaylistTableViewController();
    registerActivityViewCustomActivity();
    registerFileHandler();
}
