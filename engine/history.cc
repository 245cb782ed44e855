// Undo and redo stacks and the scope that records one step.
#include "engine/history.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

namespace tvcpix {

std::vector<const Surface*> ModelState::Pictures() const {
  std::vector<const Surface*> out;
  for (const auto* p :
       {&pic1, &scaled_source, &loaded, &pic5, &pic2, &tvc2, &tvc4, &tvc16, &picz, &piczz, &pic9})
    if (*p) out.push_back(p->get());
  return out;
}

bool History::WouldMerge(int merge_key) const {
  return merge_key != 0 && merge_open_ && redo_.empty() && !undo_.empty() &&
         undo_.back().merge_key == merge_key;
}

void History::Rename(std::string name) {
  if (!undo_.empty()) undo_.back().name = std::move(name);
}

void History::Push(Step step) {
  redo_.clear();
  if (WouldMerge(step.merge_key)) {
    undo_.back().name = std::move(step.name);
    return;
  }
  undo_.push_back(std::move(step));
  merge_open_ = true;
  Trim();
}

std::shared_ptr<const ModelState> History::Undo(std::shared_ptr<const ModelState> now) {
  Step step = std::move(undo_.back());
  undo_.pop_back();
  std::shared_ptr<const ModelState> back = std::move(step.before);
  step.before = std::move(now);
  redo_.push_back(std::move(step));
  merge_open_ = false;
  return back;
}

std::shared_ptr<const ModelState> History::Redo(std::shared_ptr<const ModelState> now) {
  Step step = std::move(redo_.back());
  redo_.pop_back();
  std::shared_ptr<const ModelState> forward = std::move(step.before);
  step.before = std::move(now);
  undo_.push_back(std::move(step));
  merge_open_ = false;
  return forward;
}

std::size_t History::Bytes(const std::vector<const Surface*>& exclude) const {
  std::unordered_set<const Surface*> seen(exclude.begin(), exclude.end());
  std::size_t bytes = 0;
  for (const auto* stack : {&undo_, &redo_})
    for (const Step& step : *stack)
      for (const Surface* s : step.before->Pictures())
        if (seen.insert(s).second) bytes += s->size_bytes();
  return bytes;
}

const ModelState* History::Newest() const {
  if (!redo_.empty()) return redo_.back().before.get();
  if (!undo_.empty()) return undo_.back().before.get();
  return nullptr;
}

void History::Trim() {
  while (undo_.size() > kMaxSteps) undo_.pop_front();
  while (undo_.size() > 1 && Bytes({}) > kMaxBytes) undo_.pop_front();
}

StepScope::StepScope(Model& model, std::string name, int merge_key)
    : model_(model), name_(std::move(name)), merge_key_(merge_key) {
  outer_ = model_.step_depth_++ == 0 && model_.history_ != nullptr;
  if (!outer_) return;
  converts_before_ = model_.convert_count_;
  pic1_before_ = model_.pic1_.get();
  // A step joining the previous one keeps that one's earlier state.
  merging_ = model_.history_->WouldMerge(merge_key_);
  if (!merging_) before_ = model_.Capture(model_.history_->Newest());
}

StepScope::~StepScope() {
  --model_.step_depth_;
  if (!outer_) return;
  if (model_.convert_count_ == converts_before_ && model_.pic1_.get() == pic1_before_) return;
  if (merging_) {
    model_.history_->Rename(std::move(name_));
  } else {
    model_.history_->Push({std::move(name_), std::move(before_), merge_key_});
  }
}

}  // namespace tvcpix
