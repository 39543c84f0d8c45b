#!/usr/bin/env bash
# The program stays portable: headers only Linux has may be included by the OS backends
# (platform/), by the simulator's pseudo-terminal code and by the tests that emulate
# device nodes, nowhere else.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_only='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(linux/|sys/(ioctl|epoll|eventfd|inotify|prctl|signalfd|sysmacros|timerfd)\.h|pty\.h|termios\.h|asm/)'
allowed='^(platform/|sim/.*pty[^/]*|tests/platform/|tests/.*pty[^/]*)'
found=$(git ls-files '*.cpp' '*.h' | grep -Ev "$allowed" | xargs grep -nE "$linux_only" || true)
if [ -n "$found" ]; then
  echo "Linux-only headers outside platform/ and the simulator's pty code:" >&2
  echo "$found" >&2
  exit 1
fi
echo "portability: no Linux-only header outside platform/ and the pty code"
