"""Runs one task per drawing on a Dask cluster or on local threads, retries
a failed drawing once, and gathers the rows in the order of the drawings."""

import collections
import concurrent.futures
import functools
import os
import pickle
import queue
import time
import uuid
from typing import Any, Callable, Dict, List, Optional

Progress = Optional[Callable[[Dict[str, Any], int, int], None]]

# How long finished Dask tasks are collected before their rows are fetched
# together: every fetch is a round trip through the scheduler to the workers,
# and on a small cluster the client's and scheduler's work per fetch takes
# cores from the drawing.
GATHER_WINDOW_S = 0.1


def _ended_batches(ended: "queue.SimpleQueue[Any]", pending: Any, window: float):
    """The futures told ended on the queue, while any is pending: the first to
    end, with those that end within `window` seconds after it (never more
    than are pending). Each ending is told through a queue rather than by
    waiting on the whole pending set each time, which would cost the size of
    that set per drawing and so grow with the square of an archive."""
    while pending:
        try:
            batch = [ended.get(timeout=1)]  # woken now and then, for Ctrl-C
        except queue.Empty:
            continue
        until = time.monotonic() + window
        while len(batch) < len(pending):
            rest = until - time.monotonic()
            if rest <= 0:
                break
            try:
                batch.append(ended.get(timeout=rest))
            except queue.Empty:
                break
        yield batch


def _retry(job: Dict[str, Any], row: Dict[str, Any]) -> bool:
    # A folder that could not be listed is not tried again by a task.
    return row["status"] == "failed" and job.get("attempt", 1) == 1 and not job.get("error")


def _lost(function: Callable, job: Dict[str, Any], why: str) -> Dict[str, Any]:
    """The row of a drawing whose task ended without one (its workers died)."""
    row = function(dict(job, error=why))
    row["worker"] = None
    return row


class _Results:
    def __init__(self, total: int, done: int, progress: Progress):
        self.total = total
        self.done = done
        self.progress = progress

    def finished(self, row: Dict[str, Any]) -> None:
        self.done += 1
        if self.progress:
            self.progress(row, self.done, self.total)


def run(function: Callable, jobs: List[Dict[str, Any]], rows: List[Optional[Dict[str, Any]]], *,
        client: Any = None, workers: Optional[int] = None, progress: Progress = None) -> None:
    """Runs function(job) for every job, putting each final row at
    rows[job["index"]]; rows already there count as done."""
    results = _Results(len(rows), sum(r is not None for r in rows), progress)
    if not jobs:
        return
    if client is None:
        _run_threads(function, jobs, rows, workers or os.cpu_count() or 1, results)
    else:
        _run_dask(function, jobs, rows, client, results)


def _run_threads(function: Callable, jobs: List[Dict[str, Any]], rows: List, workers: int,
                 results: _Results) -> None:
    at_once = max(1, min(workers, len(jobs)))
    for job in jobs:
        job.setdefault("at_once", at_once)
    pool = concurrent.futures.ThreadPoolExecutor(max_workers=workers, thread_name_prefix="zumen")
    ended: "queue.SimpleQueue[Any]" = queue.SimpleQueue()
    pending: Dict[Any, Dict[str, Any]] = {}

    def submit(job: Dict[str, Any]) -> None:
        future = pool.submit(function, job)
        pending[future] = job
        future.add_done_callback(ended.put)

    try:
        for job in jobs:
            submit(job)
        for batch in _ended_batches(ended, pending, 0):
            for future in batch:
                job = pending.pop(future)
                row = future.result()
                if _retry(job, row):
                    submit(dict(job, attempt=2))
                    continue
                rows[job["index"]] = row
                results.finished(row)
    finally:
        # Drawings not yet started are dropped; those in progress finish.
        pool.shutdown(wait=True, cancel_futures=True)


def _unpacked(function: Callable, packed: bytes) -> Dict[str, Any]:
    return function(pickle.loads(packed))


def _run_dask(function: Callable, jobs: List[Dict[str, Any]], rows: List, client: Any,
              results: _Results) -> None:
    # The cores of each machine are shared among the threads of its workers.
    host_threads: Dict[str, int] = collections.Counter()
    for w in client.scheduler_info()["workers"].values():
        host_threads[w["host"]] += w["nthreads"]
    for job in jobs:
        job["host_threads"] = dict(host_threads)
    token = uuid.uuid4().hex[:12]
    name = getattr(function, "__name__", "task")

    def key(job: Dict[str, Any]) -> str:
        return f"zumen-{name}-{token}-{job['index']}-{job.get('attempt', 1)}"

    # Each job goes to its task as one pickled value: Dask looks through
    # every dict and list of a task's arguments for futures, which for the
    # nested options of a job cost the client about 0.6 ms per drawing. A
    # task's end (finished, failed or cancelled) is told by a callback rather
    # than by as_completed, which costs the client about twice the CPU per task.
    task = functools.partial(_unpacked, function)
    ended: "queue.SimpleQueue[Any]" = queue.SimpleQueue()
    pending: set = set()
    by_key: Dict[str, Dict[str, Any]] = {}

    def submit(batch: List[Dict[str, Any]]) -> None:
        keys = [key(j) for j in batch]
        by_key.update(zip(keys, batch))
        for f in client.map(task, [pickle.dumps(j) for j in batch], key=keys, pure=False, retries=0):
            pending.add(f)
            f.add_done_callback(ended.put)

    submit(jobs)

    def gathered(batch: List[Any]) -> Dict[Any, Any]:
        # The rows of a batch of finished tasks in one request to the workers
        # rather than one each; one by one should a worker be lost meanwhile
        # (Dask then runs its tasks again elsewhere).
        finished = [f for f in batch if f.status == "finished"]
        try:
            return dict(zip(finished, client.gather(finished))) if finished else {}
        except Exception:  # noqa: BLE001 - told for each task below
            values = {}
            for f in finished:
                try:
                    values[f] = f.result()
                except Exception:  # noqa: BLE001
                    pass
            return values

    try:
        for batch in _ended_batches(ended, pending, GATHER_WINDOW_S):
            values = gathered(batch)
            for future in batch:
                pending.discard(future)
                job = by_key.pop(future.key)
                retry = True
                if future in values:
                    row = values[future]
                elif future.status == "cancelled":
                    row, retry = _lost(function, job, "cancelled"), False
                else:
                    try:
                        # Its row went with a worker that died after it
                        # ended: Dask runs it again, and this waits for that.
                        row = future.result()
                    except Exception as exc:  # noqa: BLE001 - told in the row
                        # Workers that died with the task as many times as
                        # the scheduler allows (KilledWorker), or a worker
                        # that could not run it (zumen not installed there).
                        row, retry = _lost(function, job, "the task ended on its worker without a result "
                                                          f"({type(exc).__name__}: {exc})"), False
                if retry and _retry(job, row):
                    submit([dict(job, attempt=2)])
                    continue
                rows[job["index"]] = row
                results.finished(row)
                future.release()
    finally:
        if pending:
            # Stopped early: drawings not yet started are dropped.
            client.cancel(list(pending))
