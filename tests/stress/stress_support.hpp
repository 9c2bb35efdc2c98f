// stress_support.hpp - what the load and fault tests measure: the resources a process holds, the counts the
// tests run, and a small file system that fills up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

namespace stress {

/// The resources of this process that a leak would grow.
struct resources {
  int descriptors = 0;         ///< open descriptors
  std::size_t handles = 0;     ///< live entries of the handle table
  int children = 0;            ///< child processes, zombies included
  std::size_t heap_bytes = 0;  ///< heap in use (the sanitizer's count in a sanitizer build)
};
resources measure();
std::ostream& operator<<(std::ostream& out, const resources& r);

/// A count from the environment variable `name`, else `fallback`.
long count_from_env(const char* name, long fallback);

/// A tmpfs of `bytes` mounted on a fresh folder - in a mount namespace of this process's own where the process
/// may make one, so nothing outlives the test - and unmounted again by the destructor. `ok()` is false (with
/// `why()`) where mounting is not permitted.
class small_filesystem {
public:
  explicit small_filesystem(const std::string& folder, std::size_t bytes);
  ~small_filesystem();
  small_filesystem(const small_filesystem&) = delete;
  small_filesystem& operator=(const small_filesystem&) = delete;
  bool ok() const { return mounted_; }
  const std::string& why() const { return why_; }
  const std::string& path() const { return folder_; }
  /// Bytes still free on it.
  std::uint64_t free_bytes() const;

private:
  std::string folder_;
  std::string why_;
  bool mounted_ = false;
};

}  // namespace stress
