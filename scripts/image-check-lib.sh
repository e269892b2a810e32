# Sourced by the window demos: the check that a simulated device received exactly the image.

# device_holds_image IMAGE MEMORY: waits a little for the device's memory file, then compares its start
# with IMAGE (the device fills the last frame up beyond it). The device writes the file while the window
# may already have closed: a file still being written is looked at again.
device_holds_image() {
  local image=$1 memory=$2
  for _ in $(seq 1 100); do
    if [ -s "$memory" ] && cmp -s -n "$(stat -c %s "$image")" "$image" "$memory"; then
      echo "The device received the whole image ($(stat -c %s "$image") bytes)."
      return 0
    fi
    sleep 0.1
  done
  echo "The device did not receive the whole image." >&2
  return 1
}
