#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/Operations/AdapterOperation.h"

std::shared_ptr<NSOperationQueue> QvAdapterQueue() {
  static const std::shared_ptr<NSOperationQueue> queue = [] {
    auto created = std::make_shared<NSOperationQueue>();
    created->setName(NSBundle::reverseDNSPrefix() + ".swift.fennix.op.adapt-queue");
    return created;
  }();
  return queue;
}
