#pragma once
// Helper threads that leave interrupts to the thread that started them.

#include <system_error>
#include <thread>
#include <utility>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif
#ifdef __linux__
#include <sched.h>
#endif

namespace kit {

// Starts fn on a thread of its own with every signal blocked (a thread takes
// its mask from its starter), so that an interrupt's clean-up runs on the
// starting thread, never on this one while the starter holds interrupts off
// to create a temporary file. Not joinable when no thread can be had.
template <class F>
std::thread startQuietThread(F&& fn) {
#ifndef _WIN32
  sigset_t all, saved;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &saved);
#endif
  std::thread thread;
  try {
    thread = std::thread(std::forward<F>(fn));
  } catch (const std::system_error&) {
  }
#ifndef _WIN32
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
#endif
  return thread;
}

// The processors this run may use (taskset, a container's limit); 0 when
// unknown.
inline unsigned usableProcessors() {
#ifdef __linux__
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return unsigned(CPU_COUNT(&set));
#endif
  return std::thread::hardware_concurrency();
}

}  // namespace kit
