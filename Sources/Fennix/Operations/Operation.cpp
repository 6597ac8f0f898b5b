#include "Fennix/Operations/Operation.h"

#include <algorithm>

#include "Fennix/Foundation/Error.h"
#include "Fennix/console/Console.h"

// ---------------------------------------------------------------------------
// NSOperation

namespace {

// Operations let go of the dependencies they still hold when they are freed; in a chain, each
// such release frees the next operation. The operations freed on one thread are released one
// after the other from here, instead of one inside the other, however long the chain.
thread_local std::vector<std::shared_ptr<NSOperation>>* releasing = nullptr;

void releaseOneAfterTheOther(std::vector<std::shared_ptr<NSOperation>> held) {
  if (releasing != nullptr) {
    for (auto& operation : held) releasing->push_back(std::move(operation));
    return;
  }
  std::vector<std::shared_ptr<NSOperation>> pending = std::move(held);
  releasing = &pending;
  while (!pending.empty()) {
    std::shared_ptr<NSOperation> next = std::move(pending.back());
    pending.pop_back();
    next.reset();
  }
  releasing = nullptr;
}

}  // namespace

NSOperation::~NSOperation() {
  // Stop listening to dependencies that outlive this operation.
  std::vector<std::shared_ptr<NSOperation>> held;
  for (auto& dependency : dependencies_) {
    if (dependency.operation) {
      dependency.operation->removeObserver(dependency.token);
      held.push_back(std::move(dependency.operation));
    } else if (auto operation = dependency.weak.lock()) {
      operation->removeObserver(dependency.token);
      held.push_back(std::move(operation));
    }
  }
  if (!held.empty()) releaseOneAfterTheOther(std::move(held));
}

std::optional<std::string> NSOperation::name() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return name_;
}

void NSOperation::setName(std::optional<std::string> name) {
  std::lock_guard<std::mutex> lock(mutex_);
  name_ = std::move(name);
}

std::function<void()> NSOperation::completionBlock() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return completionBlock_;
}

void NSOperation::setCompletionBlock(std::function<void()> block) {
  std::lock_guard<std::mutex> lock(mutex_);
  completionBlock_ = std::move(block);
}

void NSOperation::setQueuePriority(NSOperationQueuePriority priority) {
  if (queuePriority_.load() == priority) return;
  willChangeValue("queuePriority");
  queuePriority_.store(priority);
  didChangeValue("queuePriority");
}

bool NSOperation::isReady() const {
  if (isCancelled()) return true;
  std::lock_guard<std::mutex> lock(mutex_);
  return unfinishedDependencies_ == 0;
}

void NSOperation::start() {
  if (started_.exchange(true)) return;
  // An observer may drop the last other reference while the notices run (a queue lets go of a
  // finished operation).
  const auto keepAlive = weak_from_this().lock();
  if (isCancelled()) {
    willChangeValue("isFinished");
    finished_.store(true);
    didChangeValue("isFinished");
    return;
  }
  willChangeValue("isExecuting");
  executing_.store(true);
  didChangeValue("isExecuting");
  main();
  willChangeValue("isExecuting");
  willChangeValue("isFinished");
  executing_.store(false);
  finished_.store(true);
  didChangeValue("isExecuting");
  didChangeValue("isFinished");
}

void NSOperation::cancel() {
  if (cancelled_.load()) return;
  // A cancelled operation is ready whatever its dependencies, so that its queue starts it (and it
  // finishes at once); once started, readiness no longer matters.
  const bool waiting = !isExecuting() && !isFinished();
  willChangeValue("isCancelled");
  if (waiting) willChangeValue("isReady");
  cancelled_.store(true);
  didChangeValue("isCancelled");
  if (waiting) didChangeValue("isReady");
}

void NSOperation::waitUntilFinished() {
  std::unique_lock<std::mutex> lock(completionMutex_);
  completionCondition_.wait(lock, [this] { return completed_; });
}

std::vector<std::shared_ptr<NSOperation>> NSOperation::dependencies() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::shared_ptr<NSOperation>> result;
  for (const auto& dependency : dependencies_) {
    if (auto operation = dependency.lock()) result.push_back(std::move(operation));
  }
  return result;
}

NSOperation::Dependencies::iterator NSOperation::findDependency(const NSOperation* operation) {
  auto found = dependencyIndex_.find(operation);
  if (found == dependencyIndex_.end()) return dependencies_.end();
  const auto entry = found->second;
  if (entry->operation || !entry->weak.expired()) return entry;
  dependencies_.erase(entry);
  dependencyIndex_.erase(found);
  return dependencies_.end();
}

void NSOperation::addDependency(const std::shared_ptr<NSOperation>& operation) {
  if (!operation || operation.get() == this) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (findDependency(operation.get()) != dependencies_.end()) return;
  }
  // The dependency may finish at any moment, also before it is recorded here: the link notes
  // the finish, and the dependency counts as unfinished only while the link has not seen it.
  auto link = std::make_shared<DependencyLink>(operation.get());
  std::weak_ptr<NSOperation> weakSelf = weak_from_this();
  const NSOperation* dependency = operation.get();  // the observer runs only while it lives
  auto token = operation->addObserver([weakSelf, link, dependency](const std::string& key, KeyValueChange change) {
    if (key != "isFinished" || change != KeyValueChange::did || !dependency->isFinished()) return;
    if (auto self = weakSelf.lock()) self->dependencyFinished(link);
  });
  willChangeValue("isReady");
  bool added = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (findDependency(operation.get()) == dependencies_.end()) {
      added = true;
      auto entry = dependencies_.insert(dependencies_.end(), Dependency{operation, operation, token, link});
      dependencyIndex_[operation.get()] = entry;
      if (!link->finished) {
        link->counted = true;
        ++unfinishedDependencies_;
      }
    }
  }
  if (!added) {
    operation->removeObserver(token);
  } else if (operation->isFinished()) {
    dependencyFinished(link);
  }
  didChangeValue("isReady");
}

void NSOperation::dependencyFinished(const std::shared_ptr<DependencyLink>& link) {
  bool nowReady = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    link->finished = true;
    if (!link->counted) return;
    link->counted = false;
    nowReady = --unfinishedDependencies_ == 0;
  }
  // Readiness changes only with the last unfinished dependency.
  if (nowReady) {
    willChangeValue("isReady");
    didChangeValue("isReady");
  }
}

void NSOperation::removeDependency(const std::shared_ptr<NSOperation>& operation) {
  if (!operation) return;
  std::optional<Dependency> removed;
  willChangeValue("isReady");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = findDependency(operation.get());
    if (found != dependencies_.end()) {
      removed = std::move(*found);
      dependencies_.erase(found);
      dependencyIndex_.erase(operation.get());
      if (removed->link->counted) {
        removed->link->counted = false;
        --unfinishedDependencies_;
      }
    }
  }
  if (removed) operation->removeObserver(removed->token);
  didChangeValue("isReady");
}

NSOperation::ObserverToken NSOperation::addObserver(KeyObserver observer) {
  auto token = std::make_shared<const KeyObserver>(std::move(observer));
  std::lock_guard<std::mutex> lock(mutex_);
  observers_.push_back(token);
  return token;
}

void NSOperation::removeObserver(const ObserverToken& token) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase(observers_, token);
}

void NSOperation::willChangeValue(const std::string& key) {
  std::vector<ObserverToken> observers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    observers = observers_;
  }
  for (const auto& observer : observers) (*observer)(key, KeyValueChange::will);
}

void NSOperation::didChangeValue(const std::string& key) {
  std::vector<ObserverToken> observers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    observers = observers_;
  }
  for (const auto& observer : observers) (*observer)(key, KeyValueChange::did);

  if (key == "isFinished" && isFinished()) {
    {
      std::lock_guard<std::mutex> lock(completionMutex_);
      if (completed_) return;
    }
    if (auto block = completionBlock()) block();
    std::vector<std::function<void()>> after;
    {
      std::lock_guard<std::mutex> lock(completionMutex_);
      completed_ = true;
      after.swap(afterCompletion_);
    }
    completionCondition_.notify_all();
    for (const auto& block : after) block();
    releaseDependencies();
  }
}

void NSOperation::releaseDependencies() {
  // Done with: a finished operation needs its dependencies no longer (its completion block has
  // seen them). They stay reported while something else holds them.
  std::vector<std::shared_ptr<NSOperation>> held;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& dependency : dependencies_) {
      if (dependency.operation) held.push_back(std::move(dependency.operation));
    }
  }
  if (!held.empty()) releaseOneAfterTheOther(std::move(held));
}

void NSOperation::afterCompletion(std::function<void()> block) {
  {
    std::lock_guard<std::mutex> lock(completionMutex_);
    if (!completed_) {
      afterCompletion_.push_back(std::move(block));
      return;
    }
  }
  block();
}

std::string NSOperation::description() const {
  std::string text = "<" + Fennix::typeName(typeid(*this));
  if (auto named = name()) text += " name=" + *named;
  return text + ">";
}

// ---------------------------------------------------------------------------
// NSBlockOperation

NSBlockOperation::NSBlockOperation(std::function<void()> block) { addExecutionBlock(std::move(block)); }

void NSBlockOperation::addExecutionBlock(std::function<void()> block) {
  std::lock_guard<std::mutex> lock(blocksMutex_);
  if (block) blocks_.push_back(std::move(block));
}

void NSBlockOperation::main() {
  std::vector<std::function<void()>> blocks;
  {
    std::lock_guard<std::mutex> lock(blocksMutex_);
    blocks = blocks_;
  }
  for (const auto& block : blocks) block();
}

// ---------------------------------------------------------------------------
// NSOperationQueue

NSOperationQueue::NSOperationQueue(DispatchQueue queue) : underlying_(std::move(queue)) {}

NSOperationQueue::~NSOperationQueue() {
  // Operations left behind unfinished (the queue was suspended) may go to another queue.
  for (auto& entry : entries_) {
    entry.operation->removeObserver(entry.token);
    entry.operation->queued_.store(false);
  }
}

std::optional<std::string> NSOperationQueue::name() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return name_;
}

void NSOperationQueue::setName(std::optional<std::string> name) {
  std::lock_guard<std::mutex> lock(mutex_);
  name_ = std::move(name);
}

int NSOperationQueue::maxConcurrentOperationCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return maxConcurrent_;
}

void NSOperationQueue::setMaxConcurrentOperationCount(int count) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    maxConcurrent_ = count;
  }
  schedule();
}

std::optional<DispatchQueue> NSOperationQueue::underlyingQueue() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return underlying_;
}

void NSOperationQueue::setUnderlyingQueue(std::optional<DispatchQueue> queue) {
  std::lock_guard<std::mutex> lock(mutex_);
  underlying_ = std::move(queue);
}

bool NSOperationQueue::isSuspended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return suspended_;
}

void NSOperationQueue::setSuspended(bool suspended) {
  std::shared_ptr<NSOperationQueue> released;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    suspended_ = suspended;
    updateKeepAlive(released);
  }
  schedule();
}

void NSOperationQueue::updateKeepAlive(std::shared_ptr<NSOperationQueue>& released) {
  if (!suspended_ && !entries_.empty()) {
    if (!keepAlive_) keepAlive_ = shared_from_this();
  } else {
    released = std::move(keepAlive_);
  }
}

void NSOperationQueue::addOperation(const std::shared_ptr<NSOperation>& operation) {
  if (!operation) return;
  if (weak_from_this().expired()) {
    console::error("operation queue is not owned by a shared pointer, operation not added:", operation->description());
    return;
  }
  if (operation->isFinished()) {
    console::error("cannot add a finished operation to a queue:", operation->description());
    return;
  }
  std::weak_ptr<NSOperationQueue> weakQueue = weak_from_this();
  NSOperation* raw = operation.get();
  auto token = operation->addObserver([weakQueue, raw](const std::string& key, KeyValueChange change) {
    if (change != KeyValueChange::did) return;
    if (auto queue = weakQueue.lock()) queue->operationChanged(raw, key);
  });
  std::shared_ptr<NSOperationQueue> released;
  bool added = false;
  bool elsewhere = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!index_.contains(raw) && !(elsewhere = operation->queued_.exchange(true))) {
      added = true;
      auto entry = entries_.insert(entries_.end(), Entry{operation, token, false, false, 0, {}});
      index_.emplace(raw, entry);
      // Readiness that changes from here on reaches the queue through the observer above.
      noteReady(*entry);
      updateKeepAlive(released);
    }
  }
  if (!added) {
    operation->removeObserver(token);
    console::error(elsewhere ? "operation is already in another queue:" : "operation is already in this queue:",
                   operation->description());
    return;
  }
  // One that finished before its entry existed went unheard.
  if (operation->isFinished()) {
    operationChanged(raw, "isFinished");
    return;
  }
  schedule();
}

std::shared_ptr<NSBlockOperation> NSOperationQueue::addOperation(std::function<void()> block) {
  auto operation = std::make_shared<NSBlockOperation>(std::move(block));
  addOperation(operation);
  return operation;
}

std::vector<std::shared_ptr<NSOperation>> NSOperationQueue::operations() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::shared_ptr<NSOperation>> result;
  for (const auto& entry : entries_) result.push_back(entry.operation);
  return result;
}

std::size_t NSOperationQueue::operationCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

void NSOperationQueue::cancelAllOperations() {
  for (const auto& operation : operations()) operation->cancel();
}

void NSOperationQueue::waitUntilAllOperationsAreFinished() {
  std::unique_lock<std::mutex> lock(mutex_);
  emptied_.wait(lock, [this] { return entries_.empty(); });
}

void NSOperationQueue::operationChanged(NSOperation* operation, const std::string& key) {
  if (key == "isFinished" && operation->isFinished()) {
    std::shared_ptr<NSOperationQueue> released;
    std::optional<Entry> removed;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = index_.find(operation);
      if (found == index_.end()) return;
      unfile(*found->second);
      removed = std::move(*found->second);
      entries_.erase(found->second);
      index_.erase(found);
      if (removed->running) --running_;
      updateKeepAlive(released);
      if (entries_.empty()) emptied_.notify_all();
    }
    removed->operation->removeObserver(removed->token);
    if (!released) schedule();
    return;
  }
  if (key == "isReady") {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = index_.find(operation);
      if (found == index_.end()) return;
      noteReady(*found->second);
    }
    schedule();
    return;
  }
  if (key == "queuePriority") {
    // One that waits to start moves to the end of the list of its new priority.
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = index_.find(operation);
    if (found == index_.end() || !found->second->waiting) return;
    unfile(*found->second);
    noteReady(*found->second);
  }
}

void NSOperationQueue::noteReady(Entry& entry) {
  if (entry.running || entry.waiting || !entry.operation->isReady()) return;
  const int priority = static_cast<int>(entry.operation->queuePriority());
  ReadyList& list = ready_[priority];
  entry.readyItem = list.insert(list.end(), entry.operation);
  entry.readyPriority = priority;
  entry.waiting = true;
}

void NSOperationQueue::unfile(Entry& entry) {
  if (!entry.waiting) return;
  entry.waiting = false;
  auto list = ready_.find(entry.readyPriority);
  list->second.erase(entry.readyItem);
  if (list->second.empty()) ready_.erase(list);
}

NSOperationQueue::Entry* NSOperationQueue::nextReady() {
  while (!ready_.empty()) {
    const NSOperation* operation = ready_.begin()->second.front().get();
    auto found = index_.find(operation);
    if (found == index_.end()) {  // not expected: entries leave the list as they leave the queue
      auto highest = ready_.begin();
      highest->second.pop_front();
      if (highest->second.empty()) ready_.erase(highest);
      continue;
    }
    Entry& entry = *found->second;
    unfile(entry);
    // No longer ready (a dependency added since): it comes back when it is ready again.
    if (!entry.operation->isReady()) continue;
    return &entry;
  }
  return nullptr;
}

void NSOperationQueue::schedule() {
  std::vector<std::shared_ptr<NSOperation>> toStart;
  std::optional<DispatchQueue> underlying;
  std::vector<DispatchQoS> runners;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (suspended_) return;
    underlying = underlying_;
    while (maxConcurrent_ < 0 || running_ < static_cast<std::size_t>(maxConcurrent_)) {
      Entry* next = nextReady();
      if (next == nullptr) break;
      next->running = true;
      ++running_;
      if (underlying) {
        toStart.push_back(next->operation);
        continue;
      }
      const DispatchQoS qos = next->operation->qualityOfService();
      Lane& lane = lanes_[static_cast<std::size_t>(qos)];
      lane.toStart.push_back(next->operation);
      if (!lane.runnerWaiting) {
        lane.runnerWaiting = true;
        runners.push_back(qos);
      }
    }
  }
  for (auto& operation : toStart) underlying->async([operation] { operation->start(); });
  for (const DispatchQoS qos : runners) {
    DispatchQueue::global(qos).async([self = shared_from_this(), qos] { self->runLane(qos); });
  }
}

// Operations on the global queues are started by runners, each starting one operation after the
// other while the lane holds more, instead of by a block of their own each. So that an operation
// that waits for another one of the lane cannot hold the others up, a runner that starts an
// operation while more are left sees to it that another runner is on its way.
void NSOperationQueue::runLane(DispatchQoS qos) {
  Lane& lane = lanes_[static_cast<std::size_t>(qos)];
  bool first = true;
  for (;;) {
    std::shared_ptr<NSOperation> operation;
    bool another = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (first) lane.runnerWaiting = false;
      first = false;
      if (lane.toStart.empty()) return;
      operation = std::move(lane.toStart.front());
      lane.toStart.pop_front();
      if (!lane.toStart.empty() && !lane.runnerWaiting) {
        lane.runnerWaiting = true;
        another = true;
      }
    }
    if (another) DispatchQueue::global(qos).async([self = shared_from_this(), qos] { self->runLane(qos); });
    operation->start();
  }
}
