// Appended to each program for node, outside its module's factory: run as a program
// (`node kviz.js`), it plays over the process's own descriptors; required, it only gives the
// factory, for a caller with a console host of its own.
if (typeof module == 'object' && require.main === module) module.exports();
