#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

namespace StepSequencer {

/// One recorded change of one grid cell. Actions are chained, most recent first.
struct UndoAction {
    enum Kind : std::uint32_t {
        Add = 0,    ///< a hit was added to the cell
        Remove = 1, ///< a hit was removed from the cell
    };
    std::uint32_t kind = Add;
    std::uint32_t row = 0;    ///< 0..11, never a display row
    std::uint32_t column = 0; ///< 0..511
    /// Set on the first and the last action of a group of two or more; clear on a lone action.
    bool groupEdge = false;
    UndoAction* next = nullptr;
};

/// A free list of undo records filled in batches of 20, so that an edit needs no allocation
/// once the pool has grown to the size of the history. Records go back to the free list, never
/// to the heap, while the pool lives; the destructor frees the free records (the owner returns
/// every record it holds first). Used by the GUI thread only.
class UndoActionPool {
public:
    static constexpr std::size_t BatchSize = 20;

    /// Makes one new record, or nullptr when there is no memory. Records are freed with delete.
    using RecordSource = std::function<UndoAction*()>;

    /// source: where new records come from; empty means the heap (new without exceptions).
    explicit UndoActionPool(RecordSource source = {});
    ~UndoActionPool();
    UndoActionPool(const UndoActionPool&) = delete;
    UndoActionPool& operator=(const UndoActionPool&) = delete;

    /// Takes the head of the free list, first adding a batch when the list is empty. nullptr
    /// when not even one record could be made (the failure is logged).
    UndoAction* Allocate();

    /// Makes sure that at least count records are free, adding batches as needed. When a
    /// record can't be made the failure is logged once, the records made so far stay in the
    /// pool, and the result is false.
    bool Reserve(std::size_t count);

    /// Returns one record to the free list.
    void Release(UndoAction* action) noexcept;
    /// Returns a whole chain to the free list and empties it.
    void ReleaseChain(UndoAction*& chain) noexcept;

    /// Records on the free list.
    std::size_t FreeCount() const noexcept { return freeCount_; }
    /// Records made since the pool was created (free or in use).
    std::size_t MadeCount() const noexcept { return madeCount_; }

private:
    /// Adds up to BatchSize records; false (logged) when a record could not be made.
    bool AddBatch();

    RecordSource source_;
    UndoAction* free_ = nullptr;
    std::size_t freeCount_ = 0;
    std::size_t madeCount_ = 0;
};

} // namespace StepSequencer
