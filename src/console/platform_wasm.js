// The JavaScript half of the WebAssembly platform (an emscripten library): the imports that
// platform_wasm.cpp declares, over the console host that the module's caller hands in, and the
// run of the program, which turns a trap into a processor fault.
//
// The host, Module.KvizHost (under node, the process's own descriptors when none is given):
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
  // program is suspended (asyncify) until the host's Promise settles.
  $KvizTransfer__deps: ['$Asyncify', '$KvizFailure', '$KvizHost'],
  $KvizTransfer: function (Operation, Fd, Buffer, Count) {
    // Resumed after the wait, the program makes the same call again, for the count.
    if (Asyncify.state !== Asyncify.State.Normal) return Asyncify.handleSleep(() => {});
    var Result;
    try {
      Result = KvizHost[Operation](Fd, HEAPU8.subarray(Buffer, Buffer + Count));
    } catch (Failure) {
      return KvizFailure(Failure);
    }
    if (typeof Result == 'number') return Result;
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

  KvizHostFileType__deps: ['$KvizFailure', '$KvizHost'],
  KvizHostFileType: function (Fd) {
    try {
      // platform.h's FileType values.
      var Type = ['unknown', 'file', 'char', 'pipe'].indexOf(KvizHost.FileType(Fd));
      return Type < 0 ? 0 : Type;
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

  // The host's Exit returns in a page; what is left of the run is then thrown away, C++
  // handlers and destructors included, as a process's exit does. The program that ends here is
  // the one that KvizStart runs.
  KvizHostExit__deps: ['$KvizHost', '$KvizStart'],
  KvizHostExit: function (Code) {
    ABORT = true;
    KvizHost.Exit(Code);
    throw new ExitStatus(Code);
  },

  // The call stack's frames in linear memory overflowing: each function that takes room there
  // checks it first (-sSTACK_OVERFLOW_CHECK=2), so that the frames never run over the globals
  // below them. It ends as the engine's own call stack overflowing does (KvizTrap), rather than
  // with emcc's abort, which writes to standard error.
  __handle_stack_overflow__deps: [],
  __handle_stack_overflow: function () {
    throw new RangeError('call stack overflow in linear memory');
  },

  // The code addresses of the module's frames in an error's stack, innermost first. V8 and
  // SpiderMonkey write a wasm frame's place as its offset in the module, which is WebAssembly's
  // code address; frames of JavaScript (the exception machinery's invoke wrappers) have none.
  $KvizCodeOffsets: function (Stack) {
    return Array.from(Stack.matchAll(/\bwasm-function\[\d+\]:0x([0-9a-f]+)/g),
                      Found => parseInt(Found[1], 16));
  },

  // __builtin_return_address: the code offset of the call in the caller's caller. emcc's own
  // version needs -sUSE_OFFSET_CONVERTER, which parses the module at every start, and takes an
  // invoke wrapper for the caller.
  emscripten_return_address__deps: ['$KvizCodeOffsets'],
  emscripten_return_address: function (Level) {
    var Limit = Error.stackTraceLimit;
    Error.stackTraceLimit = Infinity;
    var Stack = new Error().stack;
    Error.stackTraceLimit = Limit;
    return KvizCodeOffsets(Stack)[Level + 1] || 0;
  },

#if ENVIRONMENT_MAY_BE_NODE
  // The process's own descriptors, through node's file calls. process.stdin and the like are
  // left alone: they change the descriptors' blocking mode, which other processes share.
  $KvizNodeHost__deps: ['$KvizNodeTransfer'],
  $KvizNodeHost: function () {
    var Fs = require('fs');
    return {
      Path: process.argv[1],
      Args: process.argv.slice(2),
      Env: process.env,
      FileType: Fd => {
        var Status = Fs.fstatSync(Fd);
        if (Status.isCharacterDevice()) return 'char';
        if (Status.isFile() || Status.isBlockDevice()) return 'file';
        if (Status.isFIFO() || Status.isSocket()) return 'pipe';
        return 'unknown';
      },
      Read: (Fd, Bytes) => KvizNodeTransfer(Fs.readSync, Fd, Bytes),
      Write: (Fd, Bytes) => KvizNodeTransfer(Fs.writeSync, Fd, Bytes),
      Now: () => performance.now(),
      // node ignores SIGPIPE and SIGXFSZ: such a write fails with a code instead.
      Exit: Code => process.exit(Code),
    };
  },

  // Call (fs.readSync or fs.writeSync) on the whole of Bytes. An interrupted call is made again:
  // libuv does so for writes, not for reads. On a descriptor that does not block the call fails
  // with EAGAIN, and node has no call that waits until a descriptor is ready: it is tried again
  // on a timer, waiting longer each time, up to a delay that a player does not notice.
  $KvizNodeTransfer: function (Call, Fd, Bytes, Delay) {
    for (;;) {
      try {
        return Call(Fd, Bytes, 0, Bytes.length, null);
      } catch (Failure) {
        if (Failure.code == 'EAGAIN') break;
        if (Failure.code != 'EINTR') throw Failure;
      }
    }
    Delay = Math.min(2 * (Delay || 0.5), 16);
    return new Promise(Resolve => setTimeout(Resolve, Delay))
      .then(() => KvizNodeTransfer(Call, Fd, Bytes, Delay));
  },
#endif

  // Before the program's start-up, which reads the environment for getenv: the process's
  // variables, over emscripten's defaults (USER, HOME and the like) for names it lacks.
  $KvizPrepare__deps: ['$KvizHost', '$ENV',
#if ENVIRONMENT_MAY_BE_NODE
    '$KvizNodeHost',
#endif
  ],
  $KvizPrepare: function () {
    KvizHost = Module['KvizHost'];
#if ENVIRONMENT_MAY_BE_NODE
    if (!KvizHost && ENVIRONMENT_IS_NODE) KvizHost = KvizNodeHost();
#endif
    Object.assign(ENV, KvizHost.Env);
  },
  $KvizPrepare__postset: 'addOnPreRun(KvizPrepare);',

  // Runs main with the host's arguments. A run that a trap or an overflowed call stack ends
  // (the instance can still be called) becomes a processor fault, whose handler ends the
  // process; a run that the program suspends goes on once the host's wait is over.
  $KvizStart__deps: ['$KvizHost', '$KvizPrepare', '$Asyncify', '$KvizTrap', '$KvizCodeOffsets'],
  $KvizStart: function () {
    var Args = [KvizHost.Path].concat(KvizHost.Args || []);
    var Argv = stackAlloc(4 * (Args.length + 1));
    Args.forEach((Arg, I) => HEAP32[(Argv >> 2) + I] = allocateUTF8OnStack(Arg));
    HEAP32[(Argv >> 2) + Args.length] = 0;
    var Top = stackSave();
    var Faulted = false;

    var Ended = Result => {
      if (Result instanceof ExitStatus) return;
      var Trap = KvizTrap(Result);
      if (Trap < 0 || Faulted) throw Result;
      Faulted = true;
      // The stack that the trap left, perhaps overflowed, is given up.
      stackRestore(Top);
      Run(() => {
        _KvizRaiseFault(Trap, KvizCodeOffsets(Result.stack)[0] || 0);
        throw Result; // there is no handler yet
      });
    };
    var Run = Call => {
      try {
        var Code = Call();
        if (Asyncify.currData)
          Asyncify.whenDone().then(Code => _KvizHostExit(Code)).catch(Ended);
        else
          _KvizHostExit(Code);
      } catch (Result) {
        Ended(Result);
      }
    };
    Run(() => _main(Args.length, Argv));
  },
  $KvizStart__postset: 'addOnPostRun(KvizStart);',

  // The processor fault that a run's end stands for, as an index in platform_wasm.cpp's
  // TrapCodes; -1 for an end that is none. The engines name a trap only in its message.
  $KvizTrap: function (Result) {
    if (Result instanceof WebAssembly.RuntimeError) {
      var Message = Result.message;
      if (/out of bounds/.test(Message)) return 0; // of memory, or of the function table
      if (/by zero/.test(Message)) return 1; // a division or a remainder
      if (/divide result unrepresentable|integer overflow/.test(Message)) return 2;
      return 4;
    }
    // V8's, then SpiderMonkey's.
    if (Result instanceof RangeError && /call stack/.test(Result.message)) return 3;
    if (Result && Result.name == 'InternalError' && /recursion/.test(Result.message)) return 3;
    return -1;
  },
});
