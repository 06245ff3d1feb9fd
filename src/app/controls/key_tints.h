#pragma once
// The light tints of the on-screen keys: a key's LED colour at its opacity in the rounded shape of
// the cap's face, with the skin's light picture as a sheen over it.
//
// A light preview changes most keys many times a second, yet in most effects many keys show one
// colour at a time (a column of the rainbow, a row of a wave, the whole keyboard breathing). A
// tint is therefore worked out once for a key size, sheen picture and colour, and shared by every
// key that shows it. Colours are told apart to 5 bits a component and opacities to 5 bits (what
// the eye tells apart on a key); a tint is drawn in the middle of its step, so that the picture
// does not depend on which key asked first. Used on the window's thread only.

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace vq::app {

class KeyTints {
  public:
    // The tint for a key of `size` (device pixels) at `ratio`, with `sheen` (the light picture,
    // scaled to the key; may be null) named by `sheenName`, in `colour` (its alpha is the
    // opacity).
    static QImage Get(QSize size, qreal ratio, const QPixmap& sheen, const QString& sheenName,
                      QColor colour);
    // Tints made so far, and tints held now with their pixels' size (tests and measurements).
    static long long Made();
    static int Held();
    static qsizetype HeldBytes();
    // Forgets every tint: when no key shows its light any more, and in tests.
    static void Clear();

    // The most the tints' pixels take at once. The column rainbow over a full keyboard shows
    // about 1,300 tints in turn (about 9 MB at 96 dpi): most of them stay, and the few made
    // again cost far less than holding them all would weigh.
    static constexpr qsizetype kMostBytes = 16 * 1024 * 1024;

    struct Key {
        int width = 0;
        int height = 0;
        int ratioMilli = 1000;
        QString sheen;
        QRgb colour = 0;  // quantised, alpha = opacity
        bool operator==(const Key& other) const = default;
    };
};

size_t qHash(const KeyTints::Key& key, size_t seed = 0);

}  // namespace vq::app
