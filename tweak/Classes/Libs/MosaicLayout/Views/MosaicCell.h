// MosaicCell: a tile of the mosaic grid: its picture (aspect fill, pinned to
// the tile's edges) and a caption in its lower right corner.
//
//   initWithFrame: / initWithCoder:   the superclass's, then setup
//   setup                  void()    builds the image view and the caption
//   layoutSubviews         void()    places the caption; the picture's shadow
//   prepareForReuse        void()    the picture's request is cancelled and the
//                                    picture cleared
//   mosaicData / setMosaicData:   id() / void(id)   the record shown (retained); setting
//                          it requests its picture when its address is http:// or
//                          https://; a picture that arrives is shown only while the
//                          cell still shows that same record
//   image / setImage:      id() / void(id)   the image view's picture; the record's first
//                          picture fades in (after 0 to 0.699 s, over 0.3 s)
//   setHighlighted:        void(BOOL)   a change flashes the picture in again
//
// The picture comes from AFImageRequestOperation
// (+imageRequestOperationWithRequest:success:, _setFittingSize: with the
// cell's size, start, cancel): it is decoded about as large as the tile
// shows it. A request still running is cancelled when the cell takes
// another record, is reused or goes.
#pragma once

#include <UIKit/UICollectionView.h>

struct MosaicData;
struct UIImageView;
struct UILabel;

struct MosaicCell : UICollectionViewCell {
    OBJC_CLASS(MosaicCell)

    Strong<UIImageView> imageView;
    Strong<MosaicData> mosaicData;
    Strong<UILabel> titleLabel;
    Strong<NSObject> imageRequest;  // the picture's request while it runs

    ~MosaicCell() override;
};

void registerMosaicCell();
