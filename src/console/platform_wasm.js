// The JavaScript half of the WebAssembly platform (an emscripten library): the imports that
// platform_wasm.cpp declares, over the console host that the module's caller hands in, and the
// run of the program, which turns a trap into a processor fault. It takes from emscripten only
// its library's __deps and the runtime methods that cmake/Wasm.cmake exports, but for the two
// hooks at the end, whose place says why.
//
// The host, Module.KvizHost (platform_wasm_node.js makes the one of a program run by node):
//   Path               the program's file, whose name the reports show
//   Args, Env          the command line after the program's name, and the environment; optional
//   FileType(Fd)       'char' (a terminal or another character device), 'file', 'pipe' or
//                      'unknown'; throws for a descriptor that is not open
//   Read(Fd, Bytes)    fills the Uint8Array Bytes from its start; returns the count, 0 at the end
//                      of input, or a Promise of the count when it must wait
//   Write(Fd, Bytes)   writes the Uint8Array Bytes; returns the count written, or a Promise of it
//   Now()              milliseconds from any fixed moment, never going back
//   Exit(Code)         the program has ended with this exit code; the instance is spent
// Bytes is a view of the program's memory, good until the count is given. A failure is thrown,
// or the Promise rejected, with an error whose code is the errno's name, as node's are ('EPIPE',
// 'ENOSPC'); platform_errno.h turns it into the runtime's numbering.

mergeInto(LibraryManager.library, {
  $KvizHost: null,

  // A failure as the imports return it: minus its errno number. One without a known name
  // becomes a number that no errno has, which the runtime reports as a general failure.
  $KvizFailure__deps: ['$ERRNO_CODES'],
  $KvizFailure: function (Failure) {
    return -((Failure && ERRNO_CODES[Failure.code]) || 0x7fff);
  },

  // A read or write of the host: its count at once when the host has it, and otherwise the
  // program is suspended (asyncify) until the host's Promise settles. Resumed, the program makes
  // the same call again, and handleSleep gives it the count that ended the wait.
  $KvizWaiting: false,
  $KvizTransfer__deps: ['$Asyncify', '$KvizFailure', '$KvizHost', '$KvizWaiting'],
  $KvizTransfer: function (Operation, Fd, Buffer, Count) {
    if (KvizWaiting) {
      KvizWaiting = false;
      return Asyncify.handleSleep(() => {});
    }
    var Result;
    try {
      Result = KvizHost[Operation](Fd, HEAPU8.subarray(Buffer, Buffer + Count));
    } catch (Failure) {
      return KvizFailure(Failure);
    }
    if (typeof Result == 'number') return Result;
    KvizWaiting = true;
    return Asyncify.handleSleep(WakeUp =>
      Result.then(WakeUp, Failure => WakeUp(KvizFailure(Failure))));
  },

  KvizHostRead__deps: ['$KvizTransfer'],
  KvizHostRead: function (Fd, Buffer, Count) {
    return KvizTransfer('Read', Fd, Buffer, Count);
  },

  KvizHostWrite__deps: ['$KvizTransfer'],
  KvizHostWrite: function (Fd, Buffer, Count) {
    return KvizTransfer('Write', Fd, Buffer, Count);
  },

  // The host's name of the file type, into Name (Size bytes).
  KvizHostFileType__deps: ['$KvizFailure', '$KvizHost'],
  KvizHostFileType: function (Fd, Name, Size) {
    try {
      stringToUTF8(KvizHost.FileType(Fd), Name, Size);
      return 0;
    } catch (Failure) {
      return KvizFailure(Failure);
    }
  },

  KvizHostNow__deps: ['$KvizHost'],
  KvizHostNow: function () {
    return KvizHost.Now();
  },

  KvizHostProgramPath__deps: ['$KvizHost'],
  KvizHostProgramPath: function (Buffer, Size) {
    stringToUTF8(KvizHost.Path, Buffer, Size);
  },

  // What the program's end throws once the host knows its exit code. The host's Exit returns in
  // a page; what is left of the run is then thrown away, C++ handlers and destructors included
  // (emscripten's exception handling catches only C++ exceptions), as a process's exit does.
  $KvizExit: function (Code) {
    this.Code = Code;
  },
  KvizHostExit__deps: ['$KvizHost', '$KvizExit'],
  KvizHostExit: function (Code) {
    KvizHost.Exit(Code);
    throw new KvizExit(Code);
  },

  // The kind of the trap that ended the run, by the name that platform_wasm.cpp looks up, into
  // Name; null before a trap.
  $KvizTrapKind: null,
  KvizHostTrapKind__deps: ['$KvizTrapKind'],
  KvizHostTrapKind: function (Name, Size) {
    stringToUTF8(KvizTrapKind, Name, Size);
  },

  // The code addresses of the module's frames in an error's stack, innermost first. V8 and
  // SpiderMonkey write a wasm frame's place as its offset in the module, which is WebAssembly's
  // code address; frames of JavaScript (the exception machinery's invoke wrappers) have none.
  $KvizCodeOffsets: function (Stack) {
    return Array.from(Stack.matchAll(/\bwasm-function\[\d+\]:0x([0-9a-f]+)/g),
                      Found => parseInt(Found[1], 16));
  },

  // Before the program's start-up, which reads the environment for getenv: the host's
  // variables, over emscripten's defaults (USER, HOME and the like) for names it lacks.
  $KvizPrepare__deps: ['$KvizHost', '$ENV'],
  $KvizPrepare: function () {
    KvizHost = Module['KvizHost'];
    Object.assign(ENV, KvizHost.Env);
  },
  $KvizPrepare__postset: 'addOnPreRun(KvizPrepare);',

  // Runs main with the host's arguments. A run that a trap or an overflowed call stack ends
  // (the instance can still be called) becomes a processor fault, whose handler ends the
  // process; a run that the program suspends goes on once the host's wait is over. Pulled into
  // the link by cmake/Wasm.cmake.
  KvizStart__deps: ['$KvizHost', '$KvizPrepare', '$KvizExit', '$KvizTrap', '$KvizTrapKind',
                     '$KvizCodeOffsets', 'malloc', 'KvizHostExit'],
  KvizStart: function () {
    var Args = [KvizHost.Path].concat(KvizHost.Args || []);
    var Argv = _malloc(4 * (Args.length + 1));
    Args.forEach((Arg, I) => {
      var Size = lengthBytesUTF8(Arg) + 1;
      HEAPU32[(Argv >> 2) + I] = _malloc(Size);
      stringToUTF8(Arg, HEAPU32[(Argv >> 2) + I], Size);
    });
    HEAPU32[(Argv >> 2) + Args.length] = 0;
    var Top = stackSave();

    // A call of the program's that may suspend it: Returned takes its result, and Ended its end
    // by a throw, whenever either comes.
    var Run = (Name, Numbers, Returned) => {
      try {
        Module['ccall'](Name, 'number', Numbers.map(() => 'number'), Numbers, { async: true })
          .then(Returned).catch(Ended);
      } catch (Result) {
        Ended(Result);
      }
    };
    var Ended = Result => {
      if (Result instanceof KvizExit) return;
      var Kind = KvizTrap(Result);
      if (!Kind || KvizTrapKind) throw Result; // a trap in the fault's handler is not reported
      KvizTrapKind = Kind;
      // The stack that the trap left, perhaps overflowed, is given up. The handler ends the
      // process; where there is none yet, the trap goes on as it came.
      stackRestore(Top);
      Run('KvizRaiseFault', [KvizCodeOffsets(Result.stack)[0] || 0], () => {
        throw Result;
      });
    };
    Run('main', [Args.length, Argv], _KvizHostExit);
  },
  KvizStart__postset: 'addOnPostRun(_KvizStart);',

  // The kind of processor fault that a run's end stands for, by a name that platform_wasm.cpp
  // looks up; none for an end that is not a trap. The engines name a trap only in its message.
  $KvizTrap: function (Result) {
    if (Result instanceof WebAssembly.RuntimeError) {
      var Message = Result.message;
      if (/out of bounds/.test(Message)) return 'access'; // of memory, or of the function table
      if (/by zero/.test(Message)) return 'divide'; // a division or a remainder
      if (/divide result unrepresentable|integer overflow/.test(Message)) return 'overflow';
      return 'other';
    }
    // V8's, then SpiderMonkey's.
    if (Result instanceof RangeError && /call stack/.test(Result.message)) return 'stack';
    if (Result && Result.name == 'InternalError' && /recursion/.test(Result.message))
      return 'stack';
    return '';
  },

  // Two of emscripten's own imports, replaced: neither has a documented way to get what the
  // runtime needs. Both are imports of the module that emscripten's compiler and library name
  // alike in 3.1.6 and 3.1.69 (Debian 12's and 13's), where they were checked.
  //
  // The call stack's frames in linear memory overflowing: each function that takes room there
  // checks it first (-sSTACK_OVERFLOW_CHECK=2), so that the frames never run over the globals
  // below them. It ends as the engine's own call stack overflowing does (KvizTrap), rather than
  // with emscripten's abort, which writes to standard error.
  __handle_stack_overflow__deps: [],
  __handle_stack_overflow: function () {
    throw new RangeError('call stack overflow in linear memory');
  },
  // __builtin_return_address: the code offset of the call in the caller's caller. emscripten's
  // own version needs -sUSE_OFFSET_CONVERTER, which parses the module at every start, and takes
  // an invoke wrapper for the caller.
  emscripten_return_address__deps: ['$KvizCodeOffsets'],
  emscripten_return_address: function (Level) {
    var Limit = Error.stackTraceLimit;
    Error.stackTraceLimit = Infinity;
    var Stack = new Error().stack;
    Error.stackTraceLimit = Limit;
    return KvizCodeOffsets(Stack)[Level + 1] || 0;
  },
});
