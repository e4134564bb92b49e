// The flipside album view's edit button: each reload of the flipside
// controller builds a record of the shown album (its tracks as items) and a
// container holding a toolbar with one compose button that opens the edit
// sheet on that record; the flipside header places the container in its
// corner when it lays itself out. The entries stand in the installation
// table (Cantrel.cpp).
#pragma once

#include <objc/NSObject.h>
#include <objc/runtime.h>

struct MusicFlipsideAlbumDetailViewController;
struct MusicFlipsideAlbumDetailHeaderView;
struct UIView;

extern Slot<void(MusicFlipsideAlbumDetailViewController*, SEL)> _reloadData$MusicFlipsideAlbumDetailViewController;
extern Slot<void(MusicFlipsideAlbumDetailHeaderView*, SEL)> _layoutSubviews$MusicFlipsideAlbumDetailHeaderView;

void reloadData$MusicFlipsideAlbumDetailViewController(MusicFlipsideAlbumDetailViewController* self, SEL _cmd);
void layoutSubviews$MusicFlipsideAlbumDetailHeaderView(MusicFlipsideAlbumDetailHeaderView* self, SEL _cmd);

// The current edit-button container (owned), or nil: none before the first
// reload, and none after a reload of an empty album list.
extern UIView* musicFlipsideAlbumDetailViewController_drawView;

