#include "demo/frame_pipeline.h"

#include "common/printable_text.h"
#include "image/png_encoder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <system_error>

bool WriteCapturedFrame(const std::string& path, int width, int height, const std::vector<unsigned char>& pixels)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels = pixels.data();
    picture.bottomRowFirst = true;
    const bool ok = WritePng(file, picture, PngCompression::Fast);
    return std::fclose(file) == 0 && ok;
}

FramePipeline::FramePipeline(const FrameOutputs& outputs) : outputs_(outputs) {}

FramePipeline::~FramePipeline() { finish(); }

bool FramePipeline::start()
{
    const bool png = !outputs_.frameDir.empty();
    const int pngThreads = threaded() && png ? outputs_.threads : 0;
    const bool videoThread = threaded() && outputs_.video;
    // Each thread has one buffer in hand, and a few more wait for them, so that drawing
    // goes on while they write.
    const int count = threaded() ? pngThreads + (videoThread ? 1 : 0) + 3 : 1;
    slots_.resize(static_cast<size_t>(count));
    for (Slot& slot : slots_)
        slot.pixels.resize(static_cast<size_t>(outputs_.width) * outputs_.height * 4);
    for (Ring* ring : {&free_, &pngQueue_, &videoQueue_})
        ring->items.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        free_.push(i);
    try {
        for (int i = 0; i < pngThreads; ++i)
            workers_.emplace_back(&FramePipeline::pngWorker, this);
        if (videoThread)
            workers_.emplace_back(&FramePipeline::videoWorker, this);
    } catch (const std::system_error& error) {
        fail(std::string("taldrex: cannot start the capture's threads: ") + error.what());
        finish();
        return false;
    }
    return true;
}

unsigned char* FramePipeline::acquire()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return free_.count > 0; });
    return slots_[static_cast<size_t>(free_.pop())].pixels.data();
}

void FramePipeline::submit(long long frame, unsigned char* pixels)
{
    const int index = slotOf(pixels);
    Slot& slot = slots_[static_cast<size_t>(index)];
    slot.frame = frame;
    const bool png = !outputs_.frameDir.empty();
    if (!threaded()) {
        unsigned long long bytes = 0;
        if (!failed() && png)
            writePng(slot, bytes);
        if (!failed() && outputs_.video)
            writeVideo(slot);
        release(index, bytes);
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    slot.users = (png ? 1 : 0) + (outputs_.video ? 1 : 0);
    if (png)
        pngQueue_.push(index);
    if (outputs_.video)
        videoQueue_.push(index);
    if (slot.users == 0)
        free_.push(index);
    changed_.notify_all();
}

void FramePipeline::finish()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    for (std::thread& worker : workers_)
        worker.join();
    workers_.clear();
}

bool FramePipeline::failed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
}

std::string FramePipeline::failure() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

long long FramePipeline::framesWritten() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

unsigned long long FramePipeline::frameBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

bool FramePipeline::writePng(const Slot& slot, unsigned long long& bytes)
{
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06lld.png", slot.frame);
    const std::string path = outputs_.frameDir + name;
    if (!WriteCapturedFrame(path, outputs_.width, outputs_.height, slot.pixels)) {
        fail("taldrex: " + PrintableText(path) + ": cannot write the frame: " + std::strerror(errno));
        return false;
    }
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        bytes = static_cast<unsigned long long>(info.st_size);
    return true;
}

bool FramePipeline::writeVideo(const Slot& slot)
{
    const size_t stride = static_cast<size_t>(outputs_.width) * 4;
    for (int row = outputs_.height - 1; row >= 0; --row) {
        if (std::fwrite(slot.pixels.data() + stride * static_cast<size_t>(row), 1, stride, outputs_.video) != stride) {
            fail("taldrex: " + PrintableText(outputs_.videoName) + ": ffmpeg stopped taking frames at frame " +
                std::to_string(slot.frame));
            return false;
        }
    }
    return true;
}

void FramePipeline::fail(const std::string& message)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failed_)
        failure_ = message;
    failed_ = true;
}

void FramePipeline::release(int slot, unsigned long long bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    bytes_ += bytes;
    Slot& released = slots_[static_cast<size_t>(slot)];
    if (threaded() && --released.users > 0)
        return;
    if (!failed_)
        ++written_;
    free_.push(slot);
    changed_.notify_all();
}

int FramePipeline::next(Ring& queue)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return queue.count > 0 || stopping_; });
    return queue.count == 0 ? -1 : queue.pop();
}

void FramePipeline::pngWorker()
{
    for (int index; (index = next(pngQueue_)) >= 0;) {
        unsigned long long bytes = 0;
        if (!failed())
            writePng(slots_[static_cast<size_t>(index)], bytes);
        release(index, bytes);
    }
}

void FramePipeline::videoWorker()
{
    for (int index; (index = next(videoQueue_)) >= 0;) {
        if (!failed())
            writeVideo(slots_[static_cast<size_t>(index)]);
        release(index, 0);
    }
}

int FramePipeline::slotOf(const unsigned char* pixels) const
{
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].pixels.data() == pixels)
            return static_cast<int>(i);
    }
    return 0;
}
