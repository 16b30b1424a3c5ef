// Finished frames written out by worker threads: PNG files compressed side by side and the
// raw pictures fed to ffmpeg in frame order, through a fixed set of frame buffers, so that
// memory stays the same however long a capture runs.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct FrameOutputs {
    int width = 0;
    int height = 0;
    std::string frameDir;          // PNG files go there as frame-NNNNNN.png; empty: none
    std::FILE* video = nullptr;    // ffmpeg's input, frames top row first; null: no video
    std::string videoName;         // the video's file name, for messages
    int threads = 1;               // PNG compressing threads; 1 writes everything on the caller's thread
};

// Writes width x height RGBA pixels, bottom row first as OpenGL reads them, as the PNG
// file at path, as every captured frame is written. Returns false when it cannot be written.
bool WriteCapturedFrame(const std::string& path, int width, int height, const std::vector<unsigned char>& pixels);

class FramePipeline {
public:
    explicit FramePipeline(const FrameOutputs& outputs);
    // Waits for the frames handed over, so that none is lost.
    ~FramePipeline();
    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // Allocates the buffers and starts the threads. Returns false, with failure() set,
    // when a thread cannot be started.
    bool start();

    // A free buffer for one frame (width x height RGBA, bottom row first, as OpenGL reads
    // it), waiting while every buffer is still being written out.
    unsigned char* acquire();
    // Hands over the buffer from acquire() holding frame number frame. Frames go to the
    // video in the order they are handed over.
    void submit(long long frame, unsigned char* pixels);
    // Waits until every frame handed over is written out, then stops the threads.
    void finish();

    // True once a frame could not be written; the frames after it are dropped.
    bool failed() const;
    // The message of the first failure, naming the file; empty while none.
    std::string failure() const;
    // Frames written out completely so far.
    long long framesWritten() const;
    // Bytes of PNG files written so far.
    unsigned long long frameBytes() const;

private:
    struct Slot {
        std::vector<unsigned char> pixels;
        long long frame = 0;
        int users = 0;
    };
    // A queue of slot numbers; it never holds more than every slot, so it never grows.
    struct Ring {
        std::vector<int> items;
        size_t head = 0;
        size_t count = 0;
        void push(int slot) { items[(head + count++) % items.size()] = slot; }
        int pop()
        {
            const int slot = items[head];
            head = (head + 1) % items.size();
            --count;
            return slot;
        }
    };

    bool threaded() const { return outputs_.threads > 1; }
    bool writePng(const Slot& slot, unsigned long long& bytes);
    bool writeVideo(const Slot& slot);
    void fail(const std::string& message);
    void release(int slot, unsigned long long bytes);
    // The next frame of queue, waiting for one; -1 once the pipeline stops and it is empty.
    int next(Ring& queue);
    void pngWorker();
    void videoWorker();
    int slotOf(const unsigned char* pixels) const;

    FrameOutputs outputs_;
    std::vector<Slot> slots_;
    Ring free_, pngQueue_, videoQueue_;
    std::vector<std::thread> workers_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    bool failed_ = false;
    std::string failure_;
    long long written_ = 0;
    unsigned long long bytes_ = 0;
};
