# What the CI stages share; each stage sources it from the checkout's root:
#   cd "$(dirname "$0")/.." && . tools/lib.sh
# shellcheck shell=bash
# shellcheck disable=SC2034 # failed, started_pid and started_port are the stages' to read

# The stage's name, as its check lines begin; set by the stage.
stage=${stage:-$(basename "$0")}
# 1 once a check has failed.
failed=0

# Runs a check (its command after its name) and says how it went.
check() {
  if "${@:2}"; then
    echo "$stage: $1: passed"
  else
    echo "$stage: $1: FAILED"
    failed=1
  fi
}

# The project's version, as CMakeLists.txt gives it.
project_version() {
  sed -n 's/^project(quillmere VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt
}

# Copies a board file tree from tests/fixtures/ into a folder, made as
# needed. The trees, each as the tool sees it under a debugfs root:
#   emc-clock     the memory clock's legacy files and its table (LP4, 1600 MHz)
#   t234-capped   a 256-bit t234 module whose power mode caps the EMC at
#                 2133 of 3199 MHz, with its release, power mode, GPU clock
#                 and thermal zones
#   t234-debugfs  that module's debugfs clock files and an idle memory
#   busy-board    a board busy with its own work: GPU 90 %, memory 50 %
#   edge-box      a t234 carrier the module table does not know, with every
#                 other file the tool reads
fixtures="$PWD/tests/fixtures"
lay_out() {
  mkdir -p "$2" && cp -R "$fixtures/$1/." "$2/"
}

# A package list of one's own in a folder, for apt-get download: the
# machine's sources and its installed packages stay as they are. Sets
# apt_options (the apt-get options, the architectures after the folder and
# the sources' text) and apt_log.
private_package_list() {
  local work=$1 sources=$2 arch
  shift 2
  mkdir -p "$work/lists/partial" "$work/archives/partial" || return 1
  printf '%s\n' "$sources" >"$work/sources.list"
  : >"$work/status"
  apt_log="$work/apt.log"
  apt_options=(-o Dir::Etc::sourcelist="$work/sources.list" -o Dir::Etc::sourceparts=/nonexistent
    -o Dir::State::Lists="$work/lists" -o Dir::State::status="$work/status"
    -o Dir::Cache="$work" -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
  for arch in "$@"; do
    apt_options+=(-o APT::Architectures::="$arch")
  done
}

# Runs a command against the mirror, which gets two more tries after 5 and
# 20 s when it stumbles; its output goes to apt_log, shown when all fail.
retry() {
  "$@" >>"$apt_log" 2>&1 || { sleep 5 && "$@" >>"$apt_log" 2>&1; } ||
    { sleep 20 && "$@" >>"$apt_log" 2>&1; } || { cat "$apt_log"; return 1; }
}

# A TCP port on 127.0.0.1 that is free now, as the kernel hands one out.
free_port() {
  /usr/bin/python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

# Stops the processes by their ids and waits for them.
stop_pids() {
  local pid
  for pid in "$@"; do
    [ -n "$pid" ] || continue
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
}

# Starts a server, its command after the log and the probe's path, PORT in
# it replaced by a port found free, and waits up to 20 s for the probe to
# answer; another port when the server ends first (one taken meanwhile),
# three tries in all. Sets started_pid and started_port, or says what it
# waited for and returns 1.
start_server() {
  local log=$1 probe=$2 port _ try
  shift 2
  for try in 1 2 3; do
    port=$(free_port) || return 1
    "${@//PORT/$port}" >"$log" 2>&1 &
    started_pid=$!
    for _ in $(seq 100); do
      curl -sf --max-time 5 "http://127.0.0.1:$port$probe" >/dev/null && { started_port=$port; return 0; }
      kill -0 "$started_pid" 2>/dev/null || break
      sleep 0.2
    done
    if kill -0 "$started_pid" 2>/dev/null; then
      echo "  $1 did not answer http://127.0.0.1:$port$probe within 20 s (try $try)"
    else
      echo "  $1 ended on port $port (try $try)"
    fi
    stop_pids "$started_pid"
  done
  cat "$log"
  return 1
}

# Asks the Prometheus server on 127.0.0.1:$server_port (the stage's) its API
# (a path, then curl's arguments); the answer is read by tools/prometheus_api.py.
api() {
  # shellcheck disable=SC2154 # server_port is the stage's
  curl -sf --max-time 5 "http://127.0.0.1:$server_port/api/v1/$1" "${@:2}"
}
read_api() {
  /usr/bin/python3 tools/prometheus_api.py "$@"
}

# The number of series a PromQL query returns, or nothing when the server
# does not answer.
series_count() {
  api query --data-urlencode "query=$1" | read_api count
}
