// The search page with JavaScript: results stream in from /search/stream
// and are re-ranked in place as batches arrive; each source's bars fill as
// it answers. Without this script the form submits to /search?format=html.
// Every text from a document goes in through textContent, never as markup.
'use strict';

(function () {
  const form = document.getElementById('search');
  const input = document.getElementById('q');
  const list = document.getElementById('hits');
  const summary = document.getElementById('summary');
  let stream = null;

  // Words as the page compares them with the query: case and accents aside.
  function fold(word) {
    return word.normalize('NFKD').replace(/\p{M}/gu, '').toLocaleLowerCase();
  }
  const wordPattern = /[\p{L}\p{N}_']+/gu;

  function marked(snippet, words) {
    const span = document.createElement('p');
    span.className = 'snippet';
    let at = 0;
    for (const match of snippet.matchAll(wordPattern)) {
      if (!words.has(fold(match[0]))) continue;
      span.append(snippet.slice(at, match.index));
      const mark = document.createElement('mark');
      mark.textContent = match[0];
      span.append(mark);
      at = match.index + match[0].length;
    }
    span.append(snippet.slice(at));
    return span;
  }

  function safeLink(url) {
    return typeof url === 'string' && /^(https?|file):/i.test(url) ? url : '';
  }

  function drawHits(hits, words) {
    const items = hits.map(function (hit) {
      const item = document.createElement('li');
      item.className = 'hit';
      const link = safeLink(hit.properties && hit.properties.url);
      const title = document.createElement(link ? 'a' : 'span');
      title.className = 'title';
      title.textContent = hit.title || hit.id;
      if (link) title.href = link;
      item.append(title, marked(hit.snippet || '', words));
      const meta = document.createElement('p');
      meta.className = 'meta';
      const from = document.createElement('span');
      from.className = 'from';
      from.textContent = hit.domains.join(', ');
      const score = document.createElement('span');
      score.className = 'score';
      score.textContent = hit.score === null ? '' : hit.score.toFixed(3);
      meta.append(from, ' ', score);
      item.append(meta);
      return item;
    });
    list.replaceChildren(...items);
  }

  function sourceRow(domain) {
    for (const row of document.querySelectorAll('#sources tr.source')) {
      if (row.dataset.domain === domain) return row;
    }
    return null;
  }

  function resetSources() {
    for (const row of document.querySelectorAll('#sources tr.source')) {
      row.querySelector('meter.hits').value = 0;
      row.querySelector('meter.time').value = 0;
      const status = row.querySelector('.status');
      status.textContent = 'searching';
      status.classList.remove('failed');
      row.classList.remove('done');
    }
  }

  function drawSource(source) {
    const row = sourceRow(source.domain);
    if (!row) return;
    const hits = row.querySelector('meter.hits');
    let most = 1;
    for (const m of document.querySelectorAll('#sources meter.hits')) most = Math.max(most, m.value);
    most = Math.max(most, source.hits);
    for (const m of document.querySelectorAll('#sources meter.hits')) m.max = most;
    hits.value = source.hits;
    const time = row.querySelector('meter.time');
    time.max = Math.max(time.max, source.ms);
    time.value = source.ms;
    const status = row.querySelector('.status');
    const failed = source.status !== 0;
    status.textContent = failed ? 'failed: ' + (source.error || source.status)
                                : source.hits + ' hits, ' + Math.round(source.ms) + ' ms';
    status.classList.toggle('failed', failed);
    row.classList.add('done');
  }

  function search(query, push) {
    if (stream) stream.close();
    const words = new Set(query.split(/\s+/).filter(Boolean).map(fold));
    const params = new URLSearchParams({ q: query });
    if (push) history.pushState(null, '', '/?' + params.toString());
    resetSources();
    list.replaceChildren();
    summary.textContent = 'searching...';
    stream = new EventSource('/search/stream?' + params.toString());
    stream.addEventListener('batch', function (event) {
      const batch = JSON.parse(event.data);
      drawHits(batch.hits, words);
      summary.textContent = 'searching... ' + batch.hits.length + ' hits so far';
    });
    stream.addEventListener('source', function (event) {
      drawSource(JSON.parse(event.data));
    });
    stream.addEventListener('done', function (event) {
      const done = JSON.parse(event.data);
      stream.close();
      stream = null;
      summary.textContent = done.hits + (done.hits === 1 ? ' hit' : ' hits') + ' in ' + Math.round(done.ms) + ' ms' +
                            (done.partial ? ' (partial: not every source answered)' : '');
      document.body.dataset.state = 'done';
    });
    stream.addEventListener('failure', function (event) {
      const failure = JSON.parse(event.data);
      stream.close();
      stream = null;
      summary.textContent = 'the search failed: ' + failure.error;
      document.body.dataset.state = 'failed';
    });
    stream.onerror = function () {
      if (!stream) return;
      stream.close();
      stream = null;
      summary.textContent = 'the connection to the server was lost';
      document.body.dataset.state = 'failed';
    };
    document.body.dataset.state = 'searching';
  }

  form.addEventListener('submit', function (event) {
    event.preventDefault();
    const query = input.value.trim();
    if (query) search(query, true);
  });
  const start = new URLSearchParams(location.search).get('q');
  if (start) {
    input.value = start;
    search(start, false);
  }
  window.addEventListener('popstate', function () {
    const q = new URLSearchParams(location.search).get('q');
    if (q) {
      input.value = q;
      search(q, false);
    }
  });
})();
