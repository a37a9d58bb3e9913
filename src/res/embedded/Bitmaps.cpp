// The launch window's pictures for the programs without a resource compiler: the same BMP files
// that the Windows resources hold, made into byte arrays by the build.
#include "framework/DialogTemplate.h"
#include "res/resource.h"

#include <cstddef>

extern const unsigned char kPictureStartBmp[];
extern const size_t kPictureStartBmpSize;
extern const unsigned char kPictureFoundBmp[];
extern const size_t kPictureFoundBmpSize;

const BitmapResource* FindBitmapResource(int bitmapId) {
    static const BitmapResource bitmaps[] = {
        {IDB_PICTURE_START,
         {reinterpret_cast<const char*>(kPictureStartBmp), kPictureStartBmpSize},
         ZYN_PICTURE_START_TEXT},
        {IDB_PICTURE_FOUND,
         {reinterpret_cast<const char*>(kPictureFoundBmp), kPictureFoundBmpSize},
         ZYN_PICTURE_FOUND_TEXT},
    };
    for (const BitmapResource& bitmap : bitmaps)
        if (bitmap.id == bitmapId)
            return &bitmap;
    return nullptr;
}
