// The page's console: a terminal (xterm.js) that edits a line as a Windows console does, and
// the console host of each game, a fresh instance of the game's module (Kviz, from kviz.js);
// src/console/platform_wasm.js lists what a host gives.
'use strict';

var Term = new Terminal({ fontSize: 15, screenReaderMode: true, cursorBlink: true });
var Fit = new FitAddon.FitAddon();
Term.loadAddon(Fit);
Term.open(document.getElementById('Terminal'));
// A touch keyboard must hand over the answer as typed: it must match to the letter.
var Typing = { autocapitalize: 'off', autocorrect: 'off', autocomplete: 'off',
               spellcheck: 'false' };
Object.entries(Typing).forEach(([Name, Value]) => Term.textarea.setAttribute(Name, Value));
Fit.fit();
addEventListener('resize', () => Fit.fit());
Term.focus();

// The terminal's screen, in order. Backspace must see the screen as the text before it left
// it (how wide the character is that it takes back), so every step waits for the step before
// to be on the terminal.
var Screen = Promise.resolve();
function Show(Text) {
  if (Text.length) Screen = Screen.then(() => new Promise(Shown => Term.write(Text, Shown)));
}
// Backspace over a line that the terminal wrapped goes back to the end of the row above.
Show('\x1b[?45h');

var Line = '';                  // the line being edited
var Input = new Uint8Array(0);  // the ended lines that the game has not read yet
var Game = null;                // the running game's host
var Waiting = null;             // the game's read that waits for a line
var Characters = new Intl.Segmenter(undefined, { granularity: 'grapheme' });

Term.onData(Data => {
  // A key's escape sequence (arrows, function keys): a console line has no use for them.
  if (Data.startsWith('\x1b')) return;
  var Echo = '';
  for (var Char of Data) {
    if (Char == '\r' || Char == '\x7f' || Char == '\b' || Char == '\x03') {
      Show(Echo);
      Echo = '';
      if (Char == '\r') EndLine();
      else if (Char == '\x03') Interrupt();
      else TakeBack();
    } else if (Char == '\x1a' || !/\p{Cc}/u.test(Char)) {
      // Ctrl+Z shows as ^Z and reaches the game as byte 26.
      Line += Char;
      Echo += Char == '\x1a' ? '^Z' : Char;
    }
  }
  Show(Echo);
});

// Enter: the line with CR LF for the game; when no game runs, it starts a new one.
function EndLine() {
  var Bytes = new TextEncoder().encode(Line + '\r\n');
  Line = '';
  Show('\r\n');
  if (!Game) return Start();
  var All = new Uint8Array(Input.length + Bytes.length);
  All.set(Input);
  All.set(Bytes, Input.length);
  Input = All;
  if (Waiting) Waiting();
}

// The line's last character off the line and off the screen: one cell wide, or two for ^Z and
// for the wide characters, whose second cell the terminal keeps empty.
function TakeBack() {
  var Last = [...Characters.segment(Line)].pop();
  if (!Last) return;
  Line = Line.slice(0, Last.index);
  Screen = Screen.then(() => {
    // The cell before the cursor; at the start of a row, the last cell of the row above.
    var Buffer = Term.buffer.active, X = Buffer.cursorX, Y = Buffer.baseY + Buffer.cursorY;
    if (X == 0) [X, Y] = [Term.cols, Y - 1];
    var Wide = Last.segment == '\x1a' || Buffer.getLine(Y)?.getCell(X - 1)?.getWidth() === 0;
    var Cells = Wide ? 2 : 1;
    var Erase = '\b'.repeat(Cells) + ' '.repeat(Cells) + '\b'.repeat(Cells);
    return new Promise(Shown => Term.write(Erase, Shown));
  });
}

// Ctrl+C ends the game at once, as it ends a console program.
function Interrupt() {
  Line = '';
  Show('^C\r\n');
  if (Game) Ended();
}

// The game is over: the line that says so and how to play again; the next Enter starts a game.
function Ended() {
  Game = Waiting = null;
  Input = new Uint8Array(0);
  Show('Kraj igre. Pritisni "Enter" za novu igru.\r\n');
}

// A new game on a clear screen. A game that has ended (Ctrl+C) and calls its host again is
// left waiting for ever, and so is thrown away.
function Start() {
  Show('\x1b[H\x1b[2J\x1b[3J');
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
    Write: (Fd, Bytes) => {
      if (Game !== Host) return new Promise(() => {});
      Show(Bytes.slice());
      return Bytes.length;
    },
    Now: () => performance.now(),
    Exit: Code => Game === Host && Ended(),
  };
  Kviz({ KvizHost: Host }).catch(Failure => Show(String(Failure) + '\r\n'));
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
