#pragma once

// The pictures a window is about to show, decoded on a thread of their own while the window
// lays itself out and draws its texts, so that its first paint finds them ready. Only what
// the window shows is decoded, as at paint time; a picture not taken is simply dropped.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace kelvora {

class ImagePrefetch {
  public:
    // Starts decoding `pictures` (a name and the package's bytes for it), in order.
    explicit ImagePrefetch(std::vector<std::pair<QString, QByteArray>> pictures);
    ~ImagePrefetch();  // waits for the thread
    ImagePrefetch(const ImagePrefetch&) = delete;
    ImagePrefetch& operator=(const ImagePrefetch&) = delete;

    // The decoding of `name` (empty inside when the bytes are no picture), waiting for it if
    // need be; nothing when `name` is not in the batch or was taken already.
    std::optional<std::optional<QImage>> Take(const QString& name);
    // Every decoding not taken yet, with its name.
    std::vector<std::pair<QString, std::optional<QImage>>> TakeRest();

  private:
    struct Batch;
    std::unique_ptr<Batch> batch_;
};

}  // namespace kelvora
