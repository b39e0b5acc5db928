#include "StepSequencer/UndoActionPool.h"

#include "System/Log.h"

#include <new>
#include <utility>

namespace StepSequencer {

UndoActionPool::UndoActionPool(RecordSource source)
    : source_(std::move(source))
{
}

UndoActionPool::~UndoActionPool()
{
    while (free_) {
        UndoAction* next = free_->next;
        delete free_;
        free_ = next;
    }
}

bool UndoActionPool::AddBatch()
{
    for (std::size_t i = 0; i < BatchSize; ++i) {
        UndoAction* record = source_ ? source_() : new (std::nothrow) UndoAction{};
        if (!record) {
            System::Log().Write(System::Error,
                                "Unable to allocate memory for UndoAction object in UndoActionPool::Allocate");
            return false;
        }
        ++madeCount_;
        Release(record);
    }
    return true;
}

UndoAction* UndoActionPool::Allocate()
{
    if (!free_)
        AddBatch();
    UndoAction* record = free_;
    if (record) {
        free_ = record->next;
        --freeCount_;
        *record = UndoAction{};
    }
    return record;
}

bool UndoActionPool::Reserve(std::size_t count)
{
    while (freeCount_ < count) {
        if (!AddBatch())
            return freeCount_ >= count;
    }
    return true;
}

void UndoActionPool::Release(UndoAction* action) noexcept
{
    action->next = free_;
    free_ = action;
    ++freeCount_;
}

void UndoActionPool::ReleaseChain(UndoAction*& chain) noexcept
{
    while (chain) {
        UndoAction* next = chain->next;
        Release(chain);
        chain = next;
    }
}

} // namespace StepSequencer
