#include "toolkit/image_prefetch.h"

#include <future>
#include <system_error>
#include <thread>

#include "toolkit/skin_image.h"

namespace kelvora {

struct ImagePrefetch::Batch {
    struct Picture {
        QString name;
        QByteArray bytes;
        std::promise<std::optional<QImage>> decoded;
        std::future<std::optional<QImage>> result = decoded.get_future();
        bool taken = false;
    };
    std::vector<Picture> pictures;  // fixed once the thread runs
    std::thread thread;             // not joinable: no thread to spare
};

ImagePrefetch::ImagePrefetch(std::vector<std::pair<QString, QByteArray>> pictures)
    : batch_(std::make_unique<Batch>()) {
    batch_->pictures.reserve(pictures.size());
    for (auto& named : pictures) {
        Batch::Picture& picture = batch_->pictures.emplace_back();
        picture.name = std::move(named.first);
        picture.bytes = std::move(named.second);
    }
    try {
        batch_->thread = std::thread([batch = batch_.get()] {
            for (Batch::Picture& picture : batch->pictures) {
                picture.decoded.set_value(DecodeSkinImage(picture.bytes));
            }
        });
    } catch (const std::system_error&) {
        // No thread to spare: every picture is decoded when it is taken.
    }
}

ImagePrefetch::~ImagePrefetch() {
    if (batch_->thread.joinable()) {
        batch_->thread.join();
    }
}

std::optional<std::optional<QImage>> ImagePrefetch::Take(const QString& name) {
    for (Batch::Picture& picture : batch_->pictures) {
        if (picture.name != name) {
            continue;
        }
        if (picture.taken) {
            return std::nullopt;
        }
        picture.taken = true;
        return batch_->thread.joinable() ? picture.result.get() : DecodeSkinImage(picture.bytes);
    }
    return std::nullopt;
}

std::vector<std::pair<QString, std::optional<QImage>>> ImagePrefetch::TakeRest() {
    std::vector<std::pair<QString, std::optional<QImage>>> rest;
    for (const Batch::Picture& picture : batch_->pictures) {
        if (!picture.taken) {
            const QString name = picture.name;
            rest.emplace_back(name, *Take(name));
        }
    }
    return rest;
}

}  // namespace kelvora
