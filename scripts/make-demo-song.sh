#!/usr/bin/env bash
# Generates the demo song that run.sh opens: about 20 s of a I-vi-IV-V chord
# progression (C, Am, F, G, twice) with a plucked arpeggio, a soft pad and a
# bass, 44.1 kHz stereo 16-bit WAV, made with sox. Does nothing when the file
# already exists. Usage: scripts/make-demo-song.sh [output.wav]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/demo/demo-song.wav}"
[ -s "$out" ] && exit 0
command -v sox >/dev/null || { echo "make-demo-song: sox is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$(dirname "$out")"

# Chord tones as sox note names: root, third, fifth, and the bass note.
chords=(
  "C4 E4 G4 C2" "A3 C4 E4 A1" "F3 A3 C4 F1" "G3 B3 D4 G1"
  "C4 E4 G4 C2" "A3 C4 E4 A1" "F3 A3 C4 F1" "G3 B3 D4 G2"
)
beat=0.3125  # eight arpeggio notes per 2.5 s chord
bar=2.5

arp=()
pad=()
n=0
for chord in "${chords[@]}"; do
  read -r r t f b <<<"$chord"
  # Arpeggio pattern up and back down, the top note an octave above the root.
  top="${r%?}$(( ${r: -1} + 1 ))"
  for note in "$r" "$t" "$f" "$top" "$f" "$t" "$r" "$t"; do
    file="$work/arp_$(printf %03d $n).wav"
    sox -n -r 44100 -c 1 -b 16 "$file" synth "$beat" pluck "$note" fade 0 "$beat" 0.05 vol 0.6
    arp+=("$file")
    n=$((n + 1))
  done
  # Pad (the three chord tones an octave down) and bass under the bar.
  tones=()
  for note in "$r" "$t" "$f"; do
    low="${note%?}$(( ${note: -1} - 1 ))"
    file="$work/pad_${n}_$low.wav"
    sox -n -r 44100 -c 1 -b 16 "$file" synth "$bar" sine "$low" fade 0.3 "$bar" 0.4 vol 0.12
    tones+=("$file")
  done
  sox -n -r 44100 -c 1 -b 16 "$work/bass_$n.wav" synth "$bar" pluck "$b" fade 0 "$bar" 0.3 vol 0.7
  sox -m "${tones[@]}" "$work/bass_$n.wav" "$work/bar_$(printf %03d $n).wav"
  pad+=("$work/bar_$(printf %03d $n).wav")
done

sox "${arp[@]}" "$work/arp.wav"
sox "${pad[@]}" "$work/pad.wav"
# Arpeggio a little to the left, pad and bass a little to the right, some room.
sox -M "$work/arp.wav" "$work/pad.wav" -r 44100 -b 16 "$work/mix.wav" \
  remix 1v0.8,2v0.5 1v0.5,2v0.8 highpass 30 lowpass 6000 reverb 35 50 80 fade 0 0 1.5 norm -1
mv "$work/mix.wav" "$out"
echo "make-demo-song: wrote $out"
