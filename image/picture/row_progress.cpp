#include "image/picture/row_progress.h"

void ShowPicture(RowProgress* progress, const ImageBuffer* picture) {
  if (progress == nullptr)
    return;
  std::lock_guard<std::mutex> hold(progress->lock);
  progress->picture = picture;
  progress->changed.notify_all();
}

void ShowRowsFromTop(RowProgress* progress, size_t rows) {
  if (progress == nullptr)
    return;
  progress->rowsFromTop.store(rows, std::memory_order_release);
}

void EndRows(RowProgress* progress, int ok) {
  if (progress == nullptr)
    return;
  std::lock_guard<std::mutex> hold(progress->lock);
  progress->ended = ok ? 1 : -1;
  progress->changed.notify_all();
}

bool ReadingEnded(const RowProgress* progress) {
  return progress->ended.load(std::memory_order_relaxed) != 0;
}

const ImageBuffer* WaitForPicture(RowProgress* progress) {
  std::unique_lock<std::mutex> hold(progress->lock);
  progress->changed.wait(
      hold, [progress] { return progress->picture != nullptr || progress->ended != 0; });
  return progress->ended < 0 ? nullptr : progress->picture;
}

int DoSpareWork(void* rows) {
  RowProgress* const progress = static_cast<RowProgress*>(rows);
  if (progress == nullptr)
    return 0;
  for (const SpareTask& task : progress->spare)
    if (task.work != nullptr && task.work(task.context) != 0)
      return 1;
  return 0;
}

bool AddSpareWork(RowProgress* progress, int (*work)(void* context), void* context) {
  for (SpareTask& task : progress->spare)
    if (task.work == nullptr) {
      task.work = work;
      task.context = context;
      return true;
    }
  return false;
}

void RemoveSpareWork(RowProgress* progress, void* context) {
  for (SpareTask& task : progress->spare)
    if (task.work != nullptr && task.context == context)
      task = SpareTask{};
}
