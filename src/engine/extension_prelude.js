// Set up in every page and frame before its own scripts: the web channel to
// the browser, the stubs of an extension's native functions, then the
// extension's own code. The code runs at global scope (its "var"
// declarations are globals) inside a `with` over an object that holds the
// stubs, so that only that code sees them. The channel reaches only a page's
// top frame: frames below relay their calls to it, and the top frame passes
// on, beside each relayed call, the origin that the engine gives as the
// relayed message's sender (a frame cannot choose it).
with ((function () {
var QWebChannel = (function () { var module;
/*@WEBCHANNEL@*/
return QWebChannel; })();
var MARK = '__velkBridgeRelay';
var isTop = (window === window.top);
var bridge = null, queue = [], flushing = false;
// Calls wait in order: until the channel is ready, and otherwise until the
// script that made them has run to its end (a microtask), so that a burst
// of calls crosses to the browser as one message. `from` is empty for the
// top frame's own calls.
function flush() {
  flushing = false;
  if (!bridge || queue.length === 0) { return; }
  var batch = queue; queue = [];
  bridge.callBatch(batch);
}
function deliver(name, payload, from) {
  queue.push([name, payload, from]);
  if (bridge && !flushing) { flushing = true; Promise.resolve().then(flush); }
}
if (isTop) {
  var start = function () {
    if (!(window.qt && window.qt.webChannelTransport)) { return false; }
    new QWebChannel(window.qt.webChannelTransport, function (channel) {
      bridge = channel.objects.velkBridge;
      flush();
    });
    return true;
  };
  if (!start()) {
    var tries = 0;
    var timer = setInterval(function () { if (start() || ++tries > 500) { clearInterval(timer); } }, 10);
  }
  window.addEventListener('message', function (e) {
    var d = e.data;
    if (d && typeof d === 'object' && d[MARK] === true && typeof d.name === 'string' &&
        typeof d.payload === 'string') {
      deliver(d.name, d.payload, typeof e.origin === 'string' && e.origin !== '' ? e.origin : 'null');
    }
  }, true);
}
function typeOf(v) {
  if (v === null) { return 'null'; }
  if (Array.isArray(v)) { return 'array'; }
  return typeof v;
}
function stub(name) {
  return function () {
    var args = [];
    for (var i = 0; i < arguments.length; ++i) {
      var v = arguments[i];
      args.push({ t: typeOf(v), s: typeof v === 'string' ? v : '' });
    }
    var payload = JSON.stringify(args);
    if (isTop) {
      deliver(name, payload, '');
    } else {
      var m = { name: name, payload: payload };
      m[MARK] = true;
      try { window.top.postMessage(m, '*'); } catch (e) {}
    }
    return undefined;
  };
}
return Object.create(null, {/*@NATIVES@*/});
})()) {
/*@CODE@*/
}
