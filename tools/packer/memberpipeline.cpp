// The packing pipeline: one reading and writing thread, a pool of compressing workers, and a
// queue of jobs in archive order between them.
//
// Each queue entry is one piece of one item with the future of its compressed form; the
// writer takes entries from the front only. A file of one piece goes to the writer as a
// whole member (so it is stored when Deflate does not make it smaller); a file of several
// pieces is a streamed member: the writer writes its header at the first piece and fills in
// the CRC and sizes at the last. The CRC is computed by the reading thread while the piece
// is still in its cache.
#include "tools/packer/memberpipeline.h"

#include "tools/base/builderror.h"
#include "tools/packer/deflatecompressor.h"
#include "tools/packer/lzmacompressor.h"
#include "tools/zip/ziplimits.h"

#include <condition_variable>
#include <deque>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <zlib.h>

namespace {

// A fixed set of threads running tasks in the order they were given.
class WorkerPool {
  public:
    explicit WorkerPool(unsigned threads) {
        for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { run(); });
    }
    ~WorkerPool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& worker : workers_) worker.join();
    }
    std::future<std::string> submit(std::function<std::string()> work) {
        std::packaged_task<std::string()> task(std::move(work));
        std::future<std::string> result = task.get_future();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        wake_.notify_one();
        return result;
    }

  private:
    void run() {
        for (;;) {
            std::packaged_task<std::string()> task;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
                if (tasks_.empty()) return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task(); // an exception travels to the future
        }
    }

    std::vector<std::thread> workers_;
    std::deque<std::packaged_task<std::string()>> tasks_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

// One piece of one item on its way to the writer.
struct Entry {
    std::size_t item = 0;
    bool first = true, last = true;    // the item's first and last piece
    std::size_t held = 0;              // input bytes this entry stands for
    ZipMember member;                  // a whole member (one piece): its header fields
    std::shared_ptr<std::string> data; // a whole member's data, shared with its job
    std::uint32_t crc = 0;             // a streamed member's CRC so far, through this piece
    std::future<std::string> packed;   // compressed data, or the raw piece when storing
    bool compressed = false;
};

ZipMember headof(const FolderItem& item) {
    ZipMember member;
    member.name = item.name;
    member.mtime = item.mtime;
    // No access time: reading the tree to pack it changes it, so two builds would differ.
    member.dosattributes = item.dosattributes;
    return member;
}

std::uint32_t continuecrc(std::uint32_t crc, const std::string& bytes) {
    // A piece is far below zlib's 4 GiB length limit.
    static_assert(kCompressPiece < 0xFFFFFFFFu, "one crc32 call per piece");
    return static_cast<std::uint32_t>(
        crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

class Packer {
  public:
    Packer(const std::vector<FolderItem>& items, ZipWriter& writer, const PackSettings& settings,
           const PackProgress& progress)
        : items_(items), writer_(writer), settings_(settings), progress_(progress),
          piece_(settings.piece ? settings.piece : kCompressPiece),
          heldlimit_(piecelimit(settings.threads, settings.piece)),
          joblimit_(kJobsPerThread * settings.threads), pool_(settings.threads) {}

    PackStats run() {
        for (std::size_t i = 0; i < items_.size(); ++i) readitem(i);
        while (!queue_.empty()) writefront();
        return stats_;
    }

  private:
    void readitem(std::size_t i) {
        const FolderItem& item = items_[i];
        if (item.isfolder) return push(wholeentry(i, {}));
        std::ifstream in(item.path, std::ios::binary);
        if (!in) throw BuildError("cannot read the file " + item.path);
        if (wholemembers() || item.size <= piece_)
            return push(wholeentry(i, readpiece(in, item, item.size, true)));
        std::uint64_t left = item.size;
        std::uint32_t crc = 0;
        for (bool first = true; left > 0; first = false) {
            std::size_t take = left < piece_ ? static_cast<std::size_t>(left) : piece_;
            left -= take;
            Entry entry;
            entry.item = i;
            entry.first = first;
            entry.last = left == 0;
            std::string data = readpiece(in, item, take, entry.last);
            entry.crc = crc = continuecrc(crc, data);
            entry.held = data.size();
            entry.compressed = settings_.level > 0;
            entry.packed = submit(std::make_shared<std::string>(std::move(data)), entry.last);
            push(std::move(entry));
        }
    }

    // count bytes of the file; the last piece must end the file.
    std::string readpiece(std::ifstream& in, const FolderItem& item, std::uint64_t count,
                          bool last) {
        std::string data(static_cast<std::size_t>(count), '\0');
        in.read(data.data(), static_cast<std::streamsize>(count));
        if (static_cast<std::uint64_t>(in.gcount()) != count || (last && in.peek() != EOF))
            throw BuildError(item.path + " changed while it was being packed");
        return data;
    }

    Entry wholeentry(std::size_t i, std::string data) {
        Entry entry;
        entry.item = i;
        entry.member = headof(items_[i]);
        entry.held = data.size();
        entry.compressed = settings_.level > 0 && !data.empty();
        entry.data = std::make_shared<std::string>(std::move(data));
        if (entry.compressed) entry.packed = submit(entry.data, true);
        return entry;
    }

    bool wholemembers() const { return settings_.wholemembers || settings_.method == kMethodLzma; }

    // The job reads the data while the entry may still hold it, so it is never copied.
    std::future<std::string> submit(std::shared_ptr<std::string> data, bool last) {
        if (settings_.level <= 0) {
            std::promise<std::string> raw;
            raw.set_value(std::move(*data));
            return raw.get_future();
        }
        int level = settings_.level;
        if (settings_.method == kMethodLzma) {
            LzmaSettings lzma{level, settings_.dictionary};
            return pool_.submit([data, lzma] { return lzmamember(*data, lzma); });
        }
        return pool_.submit([data, level, last] { return compresspiece(*data, level, last); });
    }

    // The entry is queued once the input and the jobs on the way leave room for it, or once
    // nothing else is on the way (a whole file of an encrypted package may exceed the limit).
    void push(Entry entry) {
        while (!queue_.empty() && (held_ + entry.held > heldlimit_ || queue_.size() >= joblimit_))
            writefront();
        held_ += entry.held;
        stats_.peakheld = std::max(stats_.peakheld, held_);
        queue_.push_back(std::move(entry));
        stats_.peakjobs = std::max(stats_.peakjobs, queue_.size());
    }

    void writefront() {
        Entry entry = std::move(queue_.front());
        queue_.pop_front();
        held_ -= entry.held;
        const FolderItem& item = items_[entry.item];
        if (entry.first && entry.last) {
            std::string packed = entry.compressed ? entry.packed.get() : std::string();
            // A finished job no longer reads the data (its future is ready), so it can move.
            entry.member.data = std::move(*entry.data);
            writer_.addcompressed(entry.member, entry.compressed ? &packed : nullptr,
                                  settings_.method);
        } else {
            if (entry.first)
                writer_.beginstreamed(headof(item), item.size,
                                      settings_.level > 0 ? kMethodDeflate : kMethodStored);
            writer_.appendstreamed(entry.packed.get());
            if (entry.last) writer_.endstreamed(entry.crc);
        }
        if (!entry.last) return;
        done_ += item.size;
        if (progress_) progress_(entry.item + 1, done_);
    }

    const std::vector<FolderItem>& items_;
    ZipWriter& writer_;
    PackSettings settings_;
    const PackProgress& progress_;
    std::size_t piece_, heldlimit_, joblimit_;
    std::deque<Entry> queue_;
    std::size_t held_ = 0;
    std::uint64_t done_ = 0;
    PackStats stats_;
    // Last, so that it is stopped (its threads joined) before the queue's futures go.
    WorkerPool pool_;
};

} // namespace

std::size_t piecelimit(unsigned threads, std::size_t piece) {
    return kPiecesPerThread * threads * (piece ? piece : kCompressPiece);
}

PackStats packitems(const std::vector<FolderItem>& items, ZipWriter& writer,
                    const PackSettings& settings, const PackProgress& progress) {
    if (settings.threads == 0) throw BuildError("packing needs at least one thread");
    return Packer(items, writer, settings, progress).run();
}
