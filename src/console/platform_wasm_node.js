// Appended to each program for node, outside its module's factory: run as a program
// (`node kviz.js`), it plays over the process's own descriptors, the console host below;
// required, it only gives the factory, for a caller with a console host of its own.
if (typeof module == 'object' && require.main === module) {
  var Fs = require('fs');

  // Call (fs.readSync or fs.writeSync) on the whole of Bytes. An interrupted call is made again:
  // libuv does so for writes, not for reads. On a descriptor that does not block the call fails
  // with EAGAIN, and node has no call that waits until a descriptor is ready: it is tried again
  // on a timer, waiting longer each time, up to a delay that a player does not notice.
  var Transfer = (Call, Fd, Bytes, Delay) => {
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
      .then(() => Transfer(Call, Fd, Bytes, Delay));
  };

  // process.stdin and the like are left alone: they change the descriptors' blocking mode,
  // which other processes share.
  module.exports({ KvizHost: {
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
    Read: (Fd, Bytes) => Transfer(Fs.readSync, Fd, Bytes),
    Write: (Fd, Bytes) => Transfer(Fs.writeSync, Fd, Bytes),
    Now: () => performance.now(),
    // node ignores SIGPIPE and SIGXFSZ: such a write fails with a code instead.
    Exit: Code => process.exit(Code),
  } });
}
