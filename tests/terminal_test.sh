#!/usr/bin/env bash
# Runs the program on a real pseudo-terminal (a detached tmux pane), types into it, and reads the
# screen back. This is what a user sees: the prompt must be on screen before anything is typed,
# the terminal's echo of the typed line must land right after it, and both "quit" and Ctrl-D at
# the prompt must end the session with "Goodbye!" and status 0.
set -euo pipefail

program=$1
prompt="Enter text to encrypt (or 'quit' to exit):"  # the pane drops its trailing space
# One tmux server per session: a server that is still shutting down can refuse a new one.
socket=""
tmux_() { tmux -L "$socket" -f /dev/null "$@"; }
sockets=()
trap 'for socket in "${sockets[@]}"; do tmux_ kill-server 2>/dev/null || true; done' EXIT

screen() { tmux_ capture-pane -p -t session; }

# Waits up to ten seconds for an exact line on screen.
wait_for_line() {
  for _ in $(seq 100); do
    # Captured first: grep -q can quit early, and tmux then fails on the closed pipe.
    if grep -qxF -- "$1" <<<"$(screen)"; then return 0; fi
    sleep 0.1
  done
  echo "FAIL: never saw the line [$1] on screen:" >&2
  screen >&2
  exit 1
}

# start NAME [OPTION...]
start() {
  socket="terminal-test-$$-$1"
  sockets+=("$socket")
  tmux_ new-session -d -s session -x 120 -y 40 \
    "'$program' ${*:2}; echo \"exit status \$?\"; sleep 60"
}

# 1. Typed text, then quit.
start quit
wait_for_line "$prompt"
# The prompt must be the last thing written: the program is waiting on it, not on a flush.
last=$(screen | sed '/^$/d' | tail -n 1)
[[ $last == "$prompt" ]] || { echo "FAIL: last line before typing is [$last]" >&2; exit 1; }
tmux_ send-keys -t session -l 'Zebra-123 xyz'
tmux_ send-keys -t session Enter
wait_for_line "$prompt Zebra-123 xyz"
wait_for_line "Encrypted: Cheud-123 abc"
tmux_ send-keys -t session -l quit
tmux_ send-keys -t session Enter
wait_for_line "$prompt quit"
wait_for_line "Goodbye!"
wait_for_line "exit status 0"

# 2. Ctrl-D at the first prompt ends the session the same way.
start ctrl-d
wait_for_line "$prompt"
tmux_ send-keys -t session C-d
wait_for_line "$prompt Goodbye!"
wait_for_line "exit status 0"

# 3. A line typed to --lines is answered while the program waits for the next: the answers are
# not held back until the end of the input.
start lines -d --guess --lines
tmux_ send-keys -t session -l 'Uryyb jbeyq, guvf vf n grfg'
tmux_ send-keys -t session Enter
wait_for_line "Hello world, this is a test"
tmux_ send-keys -t session C-d
wait_for_line "exit status 0"

echo "terminal sessions behaved as expected"
