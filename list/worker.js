// The list page's worker: egn-digit itself (its module, EgnDigit, stands
// above this script in the same worker), run on the file the page gives it.
// The file is never copied whole: egn-digit reads it through WORKERFS, a
// block at a time (FileReaderSync, synchronous in a worker, at any place, as
// a ZIP is read; readInBlocks). Its output is the file it writes with
// --output, whole or not at all, as egn-digit writes every --output file: a
// register that turns out to be damaged half-way gives no download that
// would look whole. The file leaves the module's memory as it is written, in
// pieces of kOutputPiece bytes that the page makes Blobs the browser may
// keep on disk: the worker holds one piece of it, whatever the register's
// size. The summary and the rows to look at come from the same run
// (--summary), read as they are written and not kept. Nothing is kept
// anywhere else.
//
// The page asks, one message a task (`wasm`: the module, compiled):
//   {names: true, wasm, file}: the names of the header row (as egn-digit
//     finds the header, reading the file for a column no table has);
//   {wasm, file, column, decode, output}: the file with its results (what
//     `egn-digit --column COLUMN [--decode] FILE --output OUTPUT` writes:
//     the CSV file, or the workbook again), egn-digit's messages, and its
//     --summary: the counts and the rows to look at.
// A worker answers with {progress}, {message} and {look} (the first of
// each) and {piece} (the checked file's, in order), and finally {done}
// with {output} (the file's bytes after its {pieces} pieces, or null where
// egn-digit kept no file), {messages} (how many there were) and {summary}
// (and how many rows to look at there were), or
// with {names}; {failed} where egn-digit could not run at all; and
// {needsBytes} where it cannot read the file itself: the page then sends the
// task again with the file's bytes (`whole`).
"use strict";

// A column no table has: with it egn-digit takes the first row that is not
// empty for the header, and names each of its fields in its message.
var kNoSuchColumn = "4294967295";
// The messages and the rows to look at that go to the page: the first ones,
// the others only counted.
var kMostShown = 200;
// The checked file's pieces, each sent to the page as soon as it is written.
var kOutputPiece = 1 << 24;
// The input is read in blocks of this size (readInBlocks): Firefox read the
// benchmark's CSV of 30 MB in blocks of 16 MiB in a fifth less time than in
// blocks of 8 MiB.
var kReadBlock = 1 << 24;

// Whether this worker can read a file a slice at a time. WebKit's cannot in
// a page opened from a file (its FileReaderSync and Blob reading fail there
// on any Blob): there the page reads the file whole and sends its
// bytes (`whole`), which egn-digit reads from memory.
function readsSlices(file) {
  try {
    new FileReaderSync().readAsArrayBuffer(file.slice(0, 1));
    return true;
  } catch (failed) {
    return false;
  }
}

// One run of egn-digit with `args` in a module of its own (egn-digit's state
// is that of one process). `file` is mounted at /вход/NAME; `said` takes
// each line of its standard error, `read` the end of each read.
// Resolves to its exit status and the module (for a file it wrote). runOn
// takes the file's bytes in `whole` where it is not read a slice at a time.
// With `summary`, the run writes its file into /изход, which leaves the
// module in pieces as it is written, and its --summary into /сводка, whose
// bytes `summary` takes as they are written.
function run(wasm, file, whole, args, said, read, summary) {
  if (whole) read(file.size);
  return runOn(wasm, file, whole, args, said, read, summary);
}

function runOn(wasm, file, whole, args, said, read, summary) {
  var status = null;
  return EgnDigit({
    instantiateWasm: function (imports, done) {
      WebAssembly.instantiate(wasm, imports).then(function (instance) {
        done(instance, wasm);
      });
      return {};
    },
    print: function () {},
    printErr: said,
    onExit: function (code) { status = code; },
    preRun: [function (module) {
      module.FS.mkdir("/вход");
      module.FS.mkdir("/изход");
      module.FS.mkdir("/сводка");
    }]
  }).then(function (module) {
    var FS = module.FS;
    if (summary) {
      routeWrites(FS, FS.lookupPath("/изход").node, FS.lookupPath("/сводка").node, summary);
    }
    if (whole) {
      FS.writeFile("/вход/" + file.name, whole);
    } else {
      FS.mount(FS.filesystems.WORKERFS, {blobs: [{name: file.name, data: file}]}, "/вход");
      readInBlocks(FS.filesystems.WORKERFS.stream_ops, file, read);
    }
    try {
      var returned = module.callMain(args.concat(["/вход/" + file.name]));
      if (status === null) status = returned;
    } catch (thrown) {
      if (thrown && thrown.name == "ExitStatus") {
        status = thrown.status;
      } else {
        throw thrown;
      }
    }
    return {status: status, module: module};
  });
}

// What the table says of a row to look at (its --json record): its number
// and why.
function why(record, decode) {
  if (record.error !== undefined) return {shown: "", why: record.error};
  var said = "";
  if (!(decode ? record.valid : record.check_digit_ok)) {
    said = decode ? "невалидно: " + (record.reason || "") :
        "грешна контролна цифра; вярната е " + record.check_digit;
  }
  if (record.lost_leading_zeros) {
    said += (said ? "; " : "") + (record.lost_leading_zeros == 1 ? "водещата нула е изгубена" :
        "водещите нули са изгубени");
  }
  return {shown: decode ? record.number : record.input, why: said};
}

// The mounted file is read a block of kReadBlock bytes at a time, held
// until a read goes past it: a browser takes about as long for each read as
// for a megabyte, and egn-digit reads a CSV 64 KiB at a time and a ZIP at
// many places, most of them in the same block. `read` gets the end of each
// read, as egn-digit reads, for the progress bar.
function readInBlocks(ops, file, read) {
  var block = new Uint8Array(0), at = 0;
  ops.read = function (stream, buffer, offset, length, position) {
    var from = position, end = Math.min(position + length, file.size);
    while (position < end) {
      if (position < at || position >= at + block.length) {
        at = position - position % kReadBlock;
        var to = Math.min(at + kReadBlock, file.size);
        block = new Uint8Array(new FileReaderSync().readAsArrayBuffer(file.slice(at, to)));
        if (block.length != to - at) throw new Error("the file changed while it was read");
      }
      var taken = Math.min(end, at + block.length) - position;
      buffer.set(block.subarray(position - at, position - at + taken), offset + position - from);
      position += taken;
    }
    if (end > from) read(end);
    return Math.max(end - from, 0);
  };
}

// Files written in `outputs` (a folder of the module's memory) are written
// in pieces: each kOutputPiece bytes go to the page as they are written
// ({piece}, moved, not copied; node.pieces counts them), and the node holds
// only the piece being written. The page makes each a Blob the browser may
// keep on disk: a Blob made here, from memory, stays in memory in some
// browsers, and the worker's own tasks wait until egn-digit's run is over.
// Files written in `passed` are not kept at all: `take` gets each write's
// bytes. egn-digit writes its files from start to end, never at another
// place; a write elsewhere fails the run rather than give a file that is
// not what it wrote.
function routeWrites(FS, outputs, passed, take) {
  var fileOps = FS.filesystems.MEMFS.ops_table.file.stream, write = fileOps.write;
  fileOps.write = function (stream, buffer, offset, length, position, canOwn) {
    var node = stream.node;
    if (node.parent === passed) {
      take(buffer.subarray(offset, offset + length));
      return length;
    }
    if (node.parent !== outputs) return write.apply(this, arguments);
    if (node.pieces === undefined) {
      node.pieces = 0;
      node.moved = 0;
      node.contents = null;  // made at the first byte of each piece
      node.usedBytes = 0;
    }
    if (position !== node.moved + node.usedBytes) {
      throw new Error("egn-digit wrote its output at " + position + ", not at its end");
    }
    for (var at = offset, end = offset + length; at < end;) {
      if (!node.contents) node.contents = new Uint8Array(kOutputPiece);
      var taken = Math.min(end - at, kOutputPiece - node.usedBytes);
      node.contents.set(buffer.subarray(at, at + taken), node.usedBytes);
      node.usedBytes += taken;
      at += taken;
      if (node.usedBytes == kOutputPiece) {
        postMessage({piece: node.contents.buffer}, [node.contents.buffer]);
        node.contents = null;
        ++node.pieces;
        node.moved += kOutputPiece;
        node.usedBytes = 0;
      }
    }
    node.timestamp = Date.now();
    return length;
  };
}

function names(task) {
  var found = null;
  return run(task.wasm, task.file, task.whole, ["--column", kNoSuchColumn], function (line) {
    var at = line.indexOf("заглавният ред има ");
    if (found !== null || at < 0) return;
    var listed = line.slice(line.indexOf(": „", at) + 3);
    found = listed.slice(0, -1).split("“, „");
  }, function () {}).then(function () {
    postMessage({names: found || [], done: true});
  });
}

// The bytes of `parts`, one after another.
function joined(parts) {
  var all = new Uint8Array(parts.reduce(function (n, part) { return n + part.length; }, 0));
  parts.reduce(function (at, part) {
    all.set(part, at);
    return at + part.length;
  }, 0);
  return all;
}

// Whether `bytes` begin with the ASCII text `prefix`.
function startsWith(bytes, prefix) {
  if (bytes.length < prefix.length) return false;
  for (var i = 0; i < prefix.length; ++i) {
    if (bytes[i] != prefix.charCodeAt(i)) return false;
  }
  return true;
}

// The file with its results, egn-digit's messages, and from its --summary
// the counts and the rows to look at, as egn-digit judged them: a record for
// each of the first kMostShown rows to look at (--summary-rows: the others
// are only counted, and making their records would cost the run a fifth of
// its time), then the counts.
function check(task) {
  var size = Math.max(task.file.size, 1);
  var output = "/изход/" + task.output;
  var messages = 0;
  var summary = {rows: 0, right: 0, wrong: 0, computed: 0, malformed: 0, lost: 0, looks: 0};
  var decoder = new TextDecoder();
  var unended = [];  // the bytes of the line not yet ended, in the pieces written
  // The summary's bytes as egn-digit writes them: each line ended is a
  // record (`{"line":…`) or, last, the counts (`{"rows":…`).
  function records(bytes) {
    var from = 0;
    for (var end = bytes.indexOf(10); end >= 0; from = end + 1, end = bytes.indexOf(10, from)) {
      var line = bytes.subarray(from, end);
      ended(unended.length ? joined(unended.concat([line])) : line);
      unended = [];
    }
    if (from < bytes.length) unended.push(bytes.slice(from));  // a copy: the module's memory is written again
  }
  function ended(line) {
    if (startsWith(line, '{"rows":')) {
      var counts = JSON.parse(decoder.decode(line));
      ["rows", "right", "wrong", "computed", "malformed"].forEach(function (key) {
        summary[key] = counts[key];
      });
      summary.lost = counts.lost_leading_zeros;
      summary.looks = counts.to_look_at;
    } else if (line.length) {
      var record = JSON.parse(decoder.decode(line)), seen = why(record, task.decode);
      postMessage({look: {line: record.line, shown: seen.shown, why: seen.why}});
    }
  }
  var args = ["--column", task.column].concat(task.decode ? ["--decode"] : [],
      ["--output", output, "--summary", "/сводка/редове.jsonl",
       "--summary-rows", String(kMostShown)]);
  return run(task.wasm, task.file, task.whole, args, function (line) {
    if (++messages <= kMostShown) postMessage({message: line});
  }, function (end) {
    postMessage({progress: end / size});
  }, records).then(function (ran) {
    records(new Uint8Array([10]));
    var node = null, last = null;
    try {
      node = ran.module.FS.lookupPath(output).node;
    } catch (nothing) {
      node = null;  // egn-digit kept nothing: its message says why
    }
    if (node) {
      // What is left after the pieces sent (none for an empty file).
      last = node.contents ? node.contents.subarray(0, node.usedBytes) : new Uint8Array(0);
    }
    postMessage({output: last, pieces: node ? node.pieces || 0 : 0, status: ran.status,
                 messages: messages, summary: summary, done: true}, last ? [last.buffer] : []);
  });
}

onmessage = function (event) {
  var task = event.data;
  if (!task.whole && !readsSlices(task.file)) return postMessage({needsBytes: true});
  if (task.whole) task.whole = new Uint8Array(task.whole);
  (task.names ? names : check)(task).catch(function (reason) {
    postMessage({failed: String(reason) + "\n" + (reason && reason.stack), done: true});
  });
};
