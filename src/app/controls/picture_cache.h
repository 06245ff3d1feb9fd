#pragma once
// Pictures worked out once and shared, for the light previews: a key's tint, an LED's look. A
// preview shows a set of pictures in turn (a rainbow's colours on each size of key), so the cache
// keeps two generations: a picture asked for again moves from the older to the fresh one, and
// when the fresh one is full the older is dropped. What an effect keeps showing stays; what it
// stopped showing goes within two generations; a set larger than the budget costs new pictures
// for its excess only, never a cache made again from nothing. Window's thread only.

#include <QHash>
#include <QImage>
#include <utility>

namespace vq::app {

// x / 255 for 0 <= x <= 65535, rounded down and rounded to the nearest: the pictures' pixel
// arithmetic.
inline int Div255(int x) {
    return (x + 1 + (x >> 8)) >> 8;
}
inline int Round255(int x) {
    return (x + (x >> 8) + 0x80) >> 8;
}

template <typename Key>
class PictureCache {
  public:
    explicit PictureCache(qsizetype mostBytes) : mostBytes_(mostBytes) {}

    // The picture for `key`; `make()` makes it when neither generation holds it.
    template <typename Make>
    QImage Get(const Key& key, Make&& make) {
        if (auto it = fresh_.pictures.constFind(key); it != fresh_.pictures.cend())
            return it.value();
        QImage picture;
        if (auto it = older_.pictures.find(key); it != older_.pictures.end()) {
            picture = std::move(it.value());
            older_.pictures.erase(it);
            older_.bytes -= picture.sizeInBytes();
        } else {
            picture = std::forward<Make>(make)();
            ++made_;
        }
        if (fresh_.bytes + picture.sizeInBytes() > mostBytes_ / 2) {
            older_ = std::move(fresh_);
            fresh_.Clear();
        }
        fresh_.bytes += picture.sizeInBytes();
        fresh_.pictures.insert(key, picture);
        return picture;
    }

    long long Made() const { return made_; }
    int Held() const { return static_cast<int>(fresh_.pictures.size() + older_.pictures.size()); }
    qsizetype HeldBytes() const { return fresh_.bytes + older_.bytes; }
    qsizetype MostBytes() const { return mostBytes_; }
    void Clear() {
        fresh_.Clear();
        older_.Clear();
    }

  private:
    struct Generation {
        QHash<Key, QImage> pictures;
        qsizetype bytes = 0;
        void Clear() {
            pictures.clear();
            bytes = 0;
        }
    };
    qsizetype mostBytes_;
    Generation fresh_;
    Generation older_;
    long long made_ = 0;
};

}  // namespace vq::app
