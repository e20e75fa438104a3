#include "common/Pictures.h"

#include <QtGlobal>

// The pictures are compiled into a static library, whose resources must be registered by hand.
static void registerPictureResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(pictures);
        return true;
    }();
    (void)registered;
}

namespace {

int reads = 0;

fw::Picture cached(fw::Picture& cache, int resourceId)
{
    if (cache.isNull()) {
        registerPictureResources();
        ++reads;
        cache = fw::Picture::fromResource(resourceId);
    }
    return cache;
}

} // namespace

fw::Picture Splash_logo()
{
    static fw::Picture cache;
    return cached(cache, 168);
}

fw::Picture logoBadge()
{
    static fw::Picture cache;
    return cached(cache, 169);
}

fw::Picture headbar()
{
    static fw::Picture cache;
    return cached(cache, 170);
}

int pictureResourceReads()
{
    return reads;
}
