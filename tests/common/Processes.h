// Helpers of the test programs that run whole processes: a private
// /dev/shm, where the library's machine-wide names can be made, spoiled and
// counted without touching any other process's, and every thread's stack of
// a process that stopped making progress.
#ifndef TESSIK_TESTS_COMMON_PROCESSES_H_
#define TESSIK_TESTS_COMMON_PROCESSES_H_

#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

// Gives this process (and the children it makes from now on) a /dev/shm of
// its own. False where no mount namespace can be had.
inline bool PrivateShm() {
  if (unshare(CLONE_NEWNS) != 0) {
    uid_t uid = getuid();
    gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
    std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
  }
  return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tessik-test", "/dev/shm", "tmpfs", 0, nullptr) == 0;
}

// Every thread's stack of process `pid` (which may be this one), on stderr.
inline void PrintStacks(pid_t pid) {
  // Where only ancestors may attach (Yama), our own gdb child may not attach to us.
  if (pid == getpid()) prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
  std::fprintf(stderr, "--- threads of process %d\n", static_cast<int>(pid));
  std::fflush(stderr);
  std::string command = "gdb -batch -nx -p " + std::to_string(pid) + " -ex 'thread apply all bt' 1>&2 2>/dev/null";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "(gdb could not attach)\n");
}

#endif  // TESSIK_TESTS_COMMON_PROCESSES_H_
