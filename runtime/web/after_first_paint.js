// Calls `then` in a task of its own once the browser has painted the page
// for the first time, as the browser tells of it (its first contentful
// paint). Where it cannot tell, or the page has nothing `contentful` (no
// text, no image) to paint, `then` runs after the first frame; where it
// says it can but tells of no paint by a quarter of a second after the
// first frame (WebKitGTK lists paint entries but makes none), then. What
// starts there (a module asked for, unpacked and compiled) neither holds
// the first frame back nor races it: a request begun before the frame
// reaches the screen counts, where the host is slow, as one the page's
// largest paint waited for.
function egnAfterFirstPaint(then, contentful) {
  var observer = null;
  function go() {
    if (!then) return;
    if (observer) observer.disconnect();
    setTimeout(then);
    then = null;
  }
  if (contentful && window.PerformanceObserver &&
      (PerformanceObserver.supportedEntryTypes || []).indexOf("paint") >= 0) {
    observer = new PerformanceObserver(function (list) {
      if (list.getEntriesByName("first-contentful-paint").length) go();
    });
    observer.observe({type: "paint", buffered: true});
  }
  requestAnimationFrame(function () { observer ? setTimeout(go, 250) : go(); });
}
