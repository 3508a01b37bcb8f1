// The page's console: the game's output in a log, and an input line that the browser's own text
// field edits (keys, input methods, touch keyboards, voice, paste), as a Windows console edits
// its line; each game is a fresh instance of the game's module (Kviz, from kviz.js) over the
// console host below, whose operations src/console/platform_wasm.js lists.
'use strict';

var Output = document.getElementById('Output'); // the game's statements and the echoed lines
var Line = document.getElementById('Line');
var EndOfInput = '\u241a'; // what Ctrl+Z types: byte 26 for the game, shown as a symbol

var Input = new Uint8Array(0); // the ended lines that the game has not read yet
var Game = null;               // the running game's host
var Waiting = null;            // the game's read that waits for a line

// Each piece a text of its own, so that a screen reader hears it once, as it comes. The line
// stays in view, as the console grows and as the window changes (a phone turned, its keyboard
// shown).
function Show(Text) {
  Output.append(Text);
  Line.scrollIntoView({ block: 'nearest' });
}
addEventListener('resize', () => Line.scrollIntoView({ block: 'nearest' }));

// The field as wide as its text, so that the line follows the output as a console's does.
function Fit() {
  Line.style.width = Line.value.length + 1 + 'ch';
}
Line.addEventListener('input', Fit);

// Text at the caret, in place of what is selected.
function Type(Text) {
  Line.setRangeText(Text, Line.selectionStart, Line.selectionEnd, 'end');
  Fit();
}

// The line ends, as Enter ends it, and the next one starts with Next.
function Submit(Next = '') {
  var Text = Line.value;
  Line.value = Next;
  Fit();
  EndLine(Text);
}
// Enter, on a keyboard of any kind, and outside an input method's composition.
document.getElementById('Prompt').addEventListener('submit', Submitted => {
  Submitted.preventDefault();
  Submit();
});

Line.addEventListener('keydown', Key => {
  var Ctrl = Key.ctrlKey && !Key.altKey && !Key.metaKey;
  if (Key.isComposing) return;
  if (Key.key == 'Escape') {
    Line.value = '';
    Fit();
  } else if (Ctrl && /^z$/i.test(Key.key)) {
    Type(EndOfInput);
  } else if (Ctrl && /^c$/i.test(Key.key) && Line.selectionStart == Line.selectionEnd) {
    Interrupt(); // with text selected, Ctrl+C copies it
  } else {
    return;
  }
  Key.preventDefault();
});

// A pasted text goes in at the caret, and each line break in it ends a line as Enter does (the
// field itself would drop them).
Line.addEventListener('paste', Pasted => {
  Pasted.preventDefault();
  var Lines = Pasted.clipboardData.getData('text').split(/\r\n|\r|\n/);
  Type(Lines[0]);
  Lines.slice(1).forEach(Next => Submit(Next));
});

// Typing goes to the line whatever was clicked or tapped, unless text was selected there to be
// copied; a key typed elsewhere brings it back too.
addEventListener('click', () => String(getSelection()) || Line.focus({ preventScroll: true }));
addEventListener('keydown', Key => {
  if (document.activeElement != Line && !Key.ctrlKey && !Key.metaKey && !Key.altKey)
    Line.focus({ preventScroll: true });
}, true);

// A line ended: its text with CR LF for the game; when no game runs, Enter starts a new one.
function EndLine(Text) {
  Show(Text + '\n');
  if (!Game) return Start();
  var Bytes = new TextEncoder().encode(Text.replaceAll(EndOfInput, '\x1a') + '\r\n');
  var All = new Uint8Array(Input.length + Bytes.length);
  All.set(Input);
  All.set(Bytes, Input.length);
  Input = All;
  if (Waiting) Waiting();
}

// Ctrl+C ends the game at once, as it ends a console program.
function Interrupt() {
  Show(Line.value + '^C\n');
  Line.value = '';
  Fit();
  if (Game) Ended();
}

// The game is over: the line that says so and how to play again; the next Enter starts a game.
function Ended() {
  Game = Waiting = null;
  Input = new Uint8Array(0);
  Show('Kraj igre. Pritisni "Enter" za novu igru.\n');
}

// A new game on a clear console. A game that has ended (Ctrl+C) and calls its host again is
// left waiting for ever, and so is thrown away.
function Start() {
  Output.textContent = '';
  var Text = new TextDecoder();
  var Host = Game = {
    Path: 'kviz.js',
    FileType: Fd => {
      if (Fd > 2) throw { code: 'EBADF' };
      return 'char';
    },
    Read: (Fd, Bytes) => {
      if (Game !== Host) return new Promise(() => {});
      if (Input.length) return Take(Bytes);
      return new Promise(Given => Waiting = () => Given(Take(Bytes)));
    },
    // The game's line breaks are CR LF; the page's are LF.
    Write: (Fd, Bytes) => {
      if (Game !== Host) return new Promise(() => {});
      Show(Text.decode(Bytes, { stream: true }).replaceAll('\r', ''));
      return Bytes.length;
    },
    Now: () => performance.now(),
    Exit: Code => Game === Host && Ended(),
  };
  Kviz({ KvizHost: Host }).catch(Failure => Show(String(Failure) + '\n'));
}

// As much of the ended lines as the game's read takes; the rest stays for its next read, as a
// Windows console's ReadFile leaves it.
function Take(Bytes) {
  var Count = Math.min(Bytes.length, Input.length);
  Bytes.set(Input.subarray(0, Count));
  Input = Input.subarray(Count);
  Waiting = null;
  return Count;
}

Start();
Line.focus();
